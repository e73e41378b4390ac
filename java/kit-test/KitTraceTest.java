import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.sim.SimRobot;
import i2cdln.sim.SimTrace;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The trace reader on the lines dln-sim writes, and DLN_SERVER as the kit reads it. */
class KitTraceTest {
    @Test
    void readsEveryShapeOfTraceLine() {
        SimTrace trace = SimTrace.parse(List.of(
                "0.000120 DlnConnect result=0x00",
                "12.000345 DlnI2cMasterWrite port=0 addr=0x50 out=[00 11 22] result=0x00 ; reg 0x00 = 11 22",
                "12.000400 DlnI2cMasterRead port=0 addr=0x51 in=[61 2c] result=0x00",
                "12.000500 DlnI2cMasterWrite port=0 addr=0x68 out=[01] result=0x44 (I2C NACK)",
                "13.100000 DlnSpiMasterReadWrite port=0 ss=0x01 out=[9f] in=[20 20 10] result=0x00 ; id (a; b)",
                "13.200000 DlnI2cMasterWrite port=0 addr=0x51 out=[a1] result=0x00 ; servo pulse width 1500 us",
                "13.300000 DlnI2cMasterRead port=0 addr=0x53 in=[2a] result=0x00 held=1523us ; reg 0x00",
                "13.400000 DlnOpenDevice result=0x00 held=101us"));
        assertEquals(8, trace.calls().size());
        assertEquals(1523, trace.calls().get(6).heldMicros());
        assertEquals("reg 0x00", trace.calls().get(6).note());
        assertEquals(0, trace.calls().get(1).heldMicros());
        assertEquals(java.time.Duration.ofNanos(1_624_000), trace.modelledTime());
        assertEquals(new SimTrace.Call(120, "DlnConnect", -1, -1, false, List.of(), List.of(), 0,
                "", ""), trace.calls().get(0));
        assertEquals(new SimTrace.Call(12_000_345, "DlnI2cMasterWrite", 0, 0x50, false,
                List.of(0x00, 0x11, 0x22), List.of(), 0, "", "reg 0x00 = 11 22"), trace.calls().get(1));
        assertEquals(List.of(0x61, 0x2c), trace.calls().get(2).in());
        SimTrace.Call nack = trace.calls().get(3);
        assertEquals(0x44, nack.result());
        assertEquals("I2C NACK", nack.resultName());
        assertTrue(!nack.succeeded());
        SimTrace.Call spi = trace.calls().get(4);
        assertTrue(spi.spi());
        assertEquals(1, spi.address());
        assertEquals("id (a; b)", spi.note());
        assertEquals(List.of(), trace.to(1), "an SPI line is no I2C address");
        assertEquals(List.of(1500), trace.servoPulseWidths(0x51));
        assertEquals(List.of("reg 0x00 = 11 22"), trace.notes(0x50));
        assertEquals(2, trace.named("DlnI2cMasterWrite").stream().filter(c -> c.succeeded()).count());
        IllegalArgumentException bad = assertThrows(IllegalArgumentException.class,
                () -> SimTrace.parse(List.of("dln-sim: listening on 127.0.0.1:9656")));
        assertTrue(bad.getMessage().contains("listening"));
    }

    @Test
    void aLineStillBeingWrittenIsLeftOut() throws Exception {
        Path file = Files.createTempFile("trace", ".txt");
        try {
            Files.writeString(file, "0.000120 DlnConnect result=0x00\n0.000130 DlnOpenDev");
            assertEquals(1, SimTrace.read(file).calls().size());
        } finally {
            Files.delete(file);
        }
    }

    @Test
    void serverAddressFormsAsOurDlnReadsThem() {
        assertEquals(new SimRobot.Address("localhost", 9700), SimRobot.Address.parse("9700"));
        assertEquals(new SimRobot.Address("localhost", 9700), SimRobot.Address.parse("localhost:9700"));
        assertEquals(new SimRobot.Address("::1", 9700), SimRobot.Address.parse("[::1]:9700"));
        for (String bad : List.of("robot", "0", "65536", "+9700", "host:", ":9700", "::1:9700")) {
            assertThrows(IllegalArgumentException.class, () -> SimRobot.Address.parse(bad), bad);
        }
    }
}
