import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;

/** Operation 0 of the laser method from Java over TCP against dln-sim, and what follows it. */
public class LaserConnectTest {
    static final String HEADER = "LLLLLLLAAAAAAAAASSSSSSSSSSSSSEEEEERRRRRRRRR\n";
    static final String ADAPTER = "Connecting to DLN Devices\nDLN-4M\n\nHardware Version:1.0.0.0\n"
            + "serverVersion:0.3.1.0\nlibraryVersion:0.4.2.0\n";
    static final String IDS = "IDs\neeaa1099\nEnd IDs\n";
    static final String START =
            "Start Test Ranging +++++++++++++++++++++++++++++++++++++++++++\n";

    static Path scenario(String name) {
        return Path.of(System.getProperty("source.dir"), "java/test/scenarios", name);
    }

    static String operationLine(int address, int code) {
        return HEADER + "Laser Operation for I2C Address:" + Integer.toHexString(address) + " is: "
                + code + "\n";
    }

    /** Calls the laser method with slot 0 = address and slots 4 to 11 = 7; reports the slots. */
    static void laser(String key, int address, int code) {
        int[] slots = new int[255];
        Arrays.fill(slots, 4, 12, 7);
        slots[0] = address;
        slots[1] = code;
        NativeRun.report(key + "Return", I2C_DLN.I2C_LaserMeasurement(slots));
        NativeRun.report(key, Arrays.copyOf(slots, 12));
    }

    public static void connectThenUnknownCodeChild() {
        laser("connect", 0x1234, 0);
        laser("unknown", 0x1234, 5);
    }

    @Test
    void operationZeroListsTheBusIdentifiesAndResetsTheSensor() throws Exception {
        Path trace = Files.createTempFile("laser-trace", ".txt");
        try {
            NativeRun run;
            try (SimServer sim = SimServer.start(null, trace)) {
                run = NativeRun.run("LaserConnectTest#connectThenUnknownCodeChild");
            }
            assertEquals(operationLine(0x1234, 0) + ADAPTER + "0\n  count=1\nfreq= 100000\n"
                    + "I2C Enabled\nNumber of Devices: 7\n41 29\n48 30\n72 48\n80 50\n81 51\n82 52\n"
                    + "112 70\n" + IDS
                    + operationLine(0x1234, 5) + IDS + START + "Laser Operation UNKOWN\n",
                    run.stdout);
            // Slots 2 and 3 carry the bytes of slot 0; the other slots come back unchanged.
            int[] expected = {0x1234, 0, 0x12, 0x34, 7, 7, 7, 7, 7, 7, 7, 7};
            assertEquals("10", run.reported("connectReturn").get(0));
            assertArrayEquals(expected, run.reportedInts("connect"));
            expected[1] = 5;
            assertEquals("10", run.reported("unknownReturn").get(0));
            assertArrayEquals(expected, run.reportedInts("unknown"));
            assertInOrder(Files.readAllLines(trace), "addr=0x29 out=[c0]", "addr=0x29 in=[ee aa 10 99]",
                    "addr=0x29 out=[bf 00]", "addr=0x29 out=[bf 01]", "addr=0x29 in=[3c]");
        } finally {
            Files.deleteIfExists(trace);
        }
    }

    /** Each marker must appear in a later line than the previous one. */
    static void assertInOrder(List<String> lines, String... markers) {
        int at = 0;
        for (String marker : markers) {
            while (at < lines.size() && !lines.get(at).contains(marker)) {
                at++;
            }
            assertTrue(at < lines.size(), "\"" + marker + "\" missing in order in the trace:\n"
                    + String.join("\n", lines));
            at++;
        }
    }

    public static void connectOnlyChild() {
        laser("connect", 0x29, 0);
    }

    @Test
    void portCountFailureAndMissingI2cPortsEndOperationZeroBeforeTheSensor() throws Exception {
        String[][] cases = {
            {"laser_port_count_fails.json",
             "DlnI2cMasterGetPortCount() function returns 0x4F\n"
                     + "DlnI2cMasterGetPortCount() failed\n"},
            {"laser_no_i2c_ports.json", "Current DLN adapter has no I2C ports\n"},
        };
        for (String[] c : cases) {
            Path trace = Files.createTempFile("laser-trace", ".txt");
            try {
                NativeRun run;
                try (SimServer sim = SimServer.start(scenario(c[0]), trace)) {
                    run = NativeRun.run("LaserConnectTest#connectOnlyChild");
                }
                assertEquals(operationLine(0x29, 0) + ADAPTER + c[1], run.stdout, c[0]);
                assertArrayEquals(new int[] {0x29, 0, 0, 0x29, 7, 7, 7, 7, 7, 7, 7, 7},
                        run.reportedInts("connect"), c[0]);
                for (String line : Files.readAllLines(trace)) {
                    assertFalse(line.contains("addr=0x29"), c[0] + ": the sensor was reached: " + line);
                }
            } finally {
                Files.deleteIfExists(trace);
            }
        }
    }

    public static void connectReadReconnectChild() {
        laser("connect", 0x29, 0);
        int[] read = new int[255];
        read[0] = 0x50;
        read[1] = 2;
        NativeRun.report("readReturn", I2C_DLN.read(read));
        laser("again", 0x29, 0);
        laser("unknown", 0x29, 9);
    }

    @Test
    void theSensorConnectionOutlivesOtherCallsAndARepeatedConnect() throws Exception {
        NativeRun run;
        try (SimServer sim = SimServer.start()) {
            run = NativeRun.run("LaserConnectTest#connectReadReconnectChild");
        }
        assertEquals("6", run.reported("readReturn").get(0));
        String afterRead = run.stdout.substring(run.stdout.indexOf("I2C Read Passing back  5"));
        assertTrue(afterRead.contains(operationLine(0x29, 0) + ADAPTER), run.stdout);
        assertTrue(afterRead.endsWith(IDS + operationLine(0x29, 9) + IDS + START
                + "Laser Operation UNKOWN\n"), run.stdout);
        assertFalse(run.stdout.contains("failed"), run.stdout);
    }
}
