import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import org.junit.jupiter.api.Test;

/** Raw I2C from Java over TCP against dln-sim. */
public class RawI2cTest {
    static final Path SCENARIO =
            Path.of(System.getProperty("source.dir"), "java/test/scenarios/three_registers.json");

    static String adapterBlock() {
        return "DLN-4M\n\nHardware Version:1.0.0.0\nserverVersion:0.3.1.0\nlibraryVersion:0.4.2.0\n"
                + "0\nfreq= 100000\nI2C Enabled\n";
    }

    public static void scanChild() {
        int[] slots = new int[12];
        java.util.Arrays.fill(slots, -1);
        NativeRun.report("return", I2C_DLN.i2cScan(slots));
        NativeRun.report("slots", slots);
    }

    @Test
    void scanReturnsTheScenarioAddressesInAscendingOrder() throws Exception {
        try (SimServer sim = SimServer.start(SCENARIO, null)) {
            NativeRun run = NativeRun.run("RawI2cTest#scanChild");
            assertEquals("10", run.reported("return").get(0));
            assertArrayEquals(new int[] {0x20, 0x50, 0x68, 0, 0, 0, 0, 0, 0, 0, -1, -1},
                    run.reportedInts("slots"));
            String scan = adapterBlock() + "Number of Devices: 3\n32 20\n80 50\n104 68\n";
            StringBuilder echo = new StringBuilder("Passing Count=10\n");
            int[] expected = {0x20, 0x50, 0x68, 0, 0, 0, 0, 0, 0, 0};
            for (int i = 0; i < 10; i++) {
                echo.append("Passing ").append(i).append(" address=").append(expected[i])
                        .append('\n');
            }
            assertEquals(scan + scan + echo, run.stdout);
        }
    }

    public static void writeThenReadChild() {
        int[] write = new int[255];
        write[0] = 0x50;
        write[1] = 4;
        write[2] = 0x10; // register pointer
        write[3] = 0x1AB; // only the low 8 bits go out
        write[4] = 7;
        write[5] = 255;
        NativeRun.report("writeReturn", I2C_DLN.write(write));
        NativeRun.report("written", java.util.Arrays.copyOf(write, 12));
        int[] pointer = new int[255];
        pointer[0] = 0x50;
        pointer[1] = 1;
        pointer[2] = 0x10;
        I2C_DLN.write(pointer);
        int[] read = new int[255];
        read[0] = 0x50;
        read[1] = 12;
        for (int i = 2; i < 255; i++) {
            read[i] = -7;
        }
        NativeRun.report("readReturn", I2C_DLN.read(read));
        NativeRun.report("read", java.util.Arrays.copyOf(read, 14));
    }

    @Test
    void writtenBytesReadBackThroughTheRegisterDevice() throws Exception {
        try (SimServer sim = SimServer.start(SCENARIO, null)) {
            NativeRun run = NativeRun.run("RawI2cTest#writeThenReadChild");
            assertEquals("3", run.reported("writeReturn").get(0));
            assertArrayEquals(new int[] {0x50, 4, 0x10, 0xAB, 7, 255, 0, 0, 0, 0, 0, 0},
                    run.reportedInts("written"));
            assertEquals("16", run.reported("readReturn").get(0));
            // Ten slots come back: the address, the count and the first eight bytes.
            assertArrayEquals(new int[] {0x50, 12, 0xAB, 7, 255, 0, 0, 0, 0, 0, -7, -7, -7, -7},
                    run.reportedInts("read"));
            String lastWrite = "Passing Write Data =50\n";
            String afterMark = run.stdout.substring(
                    run.stdout.lastIndexOf(lastWrite) + lastWrite.length());
            StringBuilder expected = new StringBuilder(adapterBlock());
            int[] bytes = {0xAB, 7, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0};
            for (int b : bytes) {
                expected.append(b).append(' ').append(Integer.toHexString(b)).append('\n');
            }
            expected.append("Passing Read Data =50\n");
            int[] slots = {0x50, 12, 0xAB, 7, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, -7, -7};
            for (int i = 0; i < 16; i++) {
                expected.append("I2C Read Passing back  ").append(i).append(" address=")
                        .append(slots[i]).append('\n');
            }
            assertEquals(expected.toString(), afterMark);
        }
    }

    public static void badInputChild() {
        NativeRun.report("nullRead", I2C_DLN.read(null));
        NativeRun.report("shortWrite", I2C_DLN.write(new int[3]));
        NativeRun.report("nullScan", I2C_DLN.i2cScan(null));
        int[] huge = new int[255];
        huge[0] = 0x50;
        huge[1] = 300;
        huge[2] = 99;
        NativeRun.report("hugeRead", I2C_DLN.read(huge));
        NativeRun.report("hugeSlots", java.util.Arrays.copyOf(huge, 4));
        NativeRun.report("alive", "yes");
    }

    @Test
    void badArraysAreRefusedWithAClearLineAndTheJvmSurvives() throws Exception {
        try (SimServer sim = SimServer.start(SCENARIO, null)) {
            NativeRun run = NativeRun.run("RawI2cTest#badInputChild");
            assertEquals(0, run.exitCode, run.stderr);
            assertEquals("yes", run.reported("alive").get(0));
            assertEquals("0", run.reported("nullRead").get(0));
            assertEquals("3", run.reported("shortWrite").get(0));
            assertArrayEquals(new int[] {0x50, 300, 99, 0}, run.reportedInts("hugeSlots"));
            assertEquals("read: the parameter array is null; it needs at least 255 slots."
                    + " Nothing done.\n"
                    + "write: the parameter array is too short; it needs at least 255 slots."
                    + " Nothing done.\n"
                    + "i2cScan: the parameter array is null; it needs at least 10 slots."
                    + " Nothing done.\n"
                    + "read: byte count 300 is outside 0..251; nothing read\n", run.stdout);
        }
    }

    public static void everyMethodWithoutServerChild() {
        int[] slots = new int[255];
        slots[0] = 0x50;
        slots[1] = 2;
        NativeRun.report("print", I2C_DLN.print());
        NativeRun.report("scan", I2C_DLN.i2cScan(new int[10]));
        NativeRun.report("read", I2C_DLN.read(slots.clone()));
        NativeRun.report("write", I2C_DLN.write(slots.clone()));
    }

    @Test
    void withoutAServerEachMethodOnlyReportsTheFailedConnection() throws Exception {
        NativeRun run = NativeRun.run("RawI2cTest#everyMethodWithoutServerChild");
        assertEquals("38", run.reported("print").get(0));
        assertEquals("10", run.reported("scan").get(0));
        assertEquals("6", run.reported("read").get(0));
        assertEquals("3", run.reported("write").get(0));
        String failed = "Failed to connect to local DLN server\n";
        StringBuilder scanEcho = new StringBuilder("Passing Count=10\n");
        for (int i = 0; i < 10; i++) {
            scanEcho.append("Passing ").append(i).append(" address=0\n");
        }
        String readEcho = "Passing Read Data =50\n"
                + "I2C Read Passing back  0 address=80\nI2C Read Passing back  1 address=2\n"
                + "I2C Read Passing back  2 address=0\nI2C Read Passing back  3 address=0\n"
                + "I2C Read Passing back  4 address=0\nI2C Read Passing back  5 address=0\n";
        assertEquals(failed + failed + failed + scanEcho + failed + readEcho + failed
                + "Passing Write Data =50\n", run.stdout);
    }

    public static void bannerChild() {
        NativeRun.report("test", I2C_DLN.test());
    }

    @Test
    void bannerIsFourLinesStartingWithNewlineCarriageReturn() throws Exception {
        NativeRun run = NativeRun.run("RawI2cTest#bannerChild");
        assertEquals("0", run.reported("test").get(0));
        String[] lines = run.stdout.split("\n\r", -1);
        assertEquals(6, lines.length, run.stdout); // "", four lines, ""
        assertTrue(run.stdout.startsWith("\n\rI2C_DLN"));
        assertTrue(run.stdout.endsWith("https://opensource.org/licenses/MIT\n\r"));
    }
}
