import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.Test;

/**
 * The server killed in the middle of a call, and a server that stops answering: calls fail
 * within their bound and print why, and after a restart everything works again, the laser's
 * kept connection included. The child and this test meet through files in the child's
 * working directory.
 */
public class ServerFaultTest {
    // Generous for a loaded machine: a hang would never end, a slow poll loop is not the point.
    static final long BOUND_MILLIS = 10_000;

    static int[] laser(int code) {
        int[] slots = new int[255];
        slots[0] = 0x29;
        slots[1] = code;
        long start = System.nanoTime();
        I2C_DLN.I2C_LaserMeasurement(slots);
        NativeRun.report("laser" + code + "Millis", (System.nanoTime() - start) / 1_000_000);
        return slots;
    }

    static int[] readTwo() {
        int[] slots = new int[255];
        slots[0] = 0x50;
        slots[1] = 2;
        Arrays.fill(slots, 2, 10, -7);
        long start = System.nanoTime();
        I2C_DLN.read(slots);
        NativeRun.report("readMillis", (System.nanoTime() - start) / 1_000_000);
        return slots;
    }

    static void awaitFile(Path file) throws Exception {
        long deadline = System.nanoTime() + 60_000_000_000L;
        while (!Files.exists(file)) {
            if (System.nanoTime() > deadline) {
                throw new AssertionError("no " + file + " within 60 s");
            }
            Thread.sleep(5);
        }
    }

    static long lines(Path file) throws Exception {
        if (!Files.exists(file)) {
            return 0;
        }
        try (var stream = Files.lines(file)) {
            return stream.count();
        }
    }

    /** In the child: connect, calibrate (killed meanwhile), then the same after a restart. */
    public static void killedChild() throws Exception {
        Sections.begin("connect");
        laser(0);
        Files.createFile(Path.of("calibrating"));
        Sections.begin("calibrate");
        laser(1);
        Sections.begin("measure");
        NativeRun.report("deadRange", laser(2));
        Sections.begin("read");
        NativeRun.report("deadRead", readTwo());
        Files.createFile(Path.of("waiting"));
        awaitFile(Path.of("restarted"));
        Sections.begin("reconnect");
        laser(0);
        Sections.begin("recalibrate");
        laser(1);
        Sections.begin("remeasure");
        NativeRun.report("range", laser(2));
        Sections.begin("reread");
        NativeRun.report("read", readTwo());
        Sections.begin("end");
    }

    @Test
    void serverKilledDuringCalibrationFailsFastAndARestartServesAgain() throws Exception {
        Path dir = Files.createTempDirectory("server-killed");
        Path trace = dir.resolve("trace.txt");
        ExecutorService executor = Executors.newSingleThreadExecutor();
        NativeRun run;
        try {
            SimServer first = SimServer.start(null, trace);
            Future<NativeRun> child =
                    executor.submit(() -> NativeRun.run("ServerFaultTest#killedChild", dir));
            try {
                awaitFile(dir.resolve("calibrating"));
                long base = lines(trace);
                long deadline = System.nanoTime() + 30_000_000_000L;
                while (lines(trace) < base + 40 && System.nanoTime() < deadline) {
                    Thread.sleep(1);
                }
                // Frozen first, so the kill lands while a call waits for its reply.
                first.signal("STOP");
                first.kill();
            } finally {
                first.kill();
            }
            awaitFile(dir.resolve("waiting"));
            try (SimServer second = SimServer.start(null, dir.resolve("trace2.txt"))) {
                Files.createFile(dir.resolve("restarted"));
                run = child.get();
            }
        } finally {
            executor.shutdownNow();
        }
        Map<String, String> out = Sections.of(run.stdout);
        String calibrate = out.get("calibrate");
        assertTrue(calibrate.matches("(?s).*API Status: -\\d+ : .*"),
                "calibration was not cut short:\n" + calibrate);
        assertTrue(Long.parseLong(run.reported("laser1Millis").get(0)) < BOUND_MILLIS,
                "calibration took " + run.reported("laser1Millis"));
        assertTrue(out.get("measure").contains("API Status: -20 : Control Interface Error\n"),
                out.get("measure"));
        assertEquals("Failed to connect to local DLN server\n",
                out.get("read").substring(0, out.get("read").indexOf("Passing")));
        assertEquals(-7, run.reportedInts("deadRead")[2]);
        assertTrue(out.get("reconnect").contains("Number of Devices: 7\n"), out.get("reconnect"));
        String recalibrate = out.get("recalibrate");
        assertEquals(4, recalibrate.split("API Status: 0 : No Error", -1).length - 1, recalibrate);
        assertFalse(recalibrate.contains("API Status: -"), recalibrate);
        int[] range = run.reportedInts("range");
        assertTrue((range[2] << 8 | range[3]) > 0, "no range after the restart");
        assertTrue(out.get("reread").contains("I2C Enabled\n"), out.get("reread"));
        for (String millis : run.reported("laser2Millis")) {
            assertTrue(Long.parseLong(millis) < BOUND_MILLIS, "measurement took " + millis);
        }
    }

    /** In the child: the laser connected, then calls while the server is frozen and after. */
    public static void silentChild() throws Exception {
        Sections.begin("connect");
        laser(0);
        Files.createFile(Path.of("ready"));
        awaitFile(Path.of("frozen"));
        Sections.begin("read");
        NativeRun.report("frozenRead", readTwo());
        Sections.begin("measure");
        laser(2);
        Files.createFile(Path.of("waiting"));
        awaitFile(Path.of("thawed"));
        Sections.begin("reread");
        NativeRun.report("read", readTwo());
        Sections.begin("reconnect");
        laser(0);
        Sections.begin("end");
    }

    @Test
    void frozenServerFailsCallsWithinTheBoundAndServesAgainWhenThawed() throws Exception {
        Path dir = Files.createTempDirectory("server-frozen");
        ExecutorService executor = Executors.newSingleThreadExecutor();
        NativeRun run;
        try (SimServer sim = SimServer.start(null, null)) {
            Future<NativeRun> child =
                    executor.submit(() -> NativeRun.run("ServerFaultTest#silentChild", dir));
            awaitFile(dir.resolve("ready"));
            sim.signal("STOP");
            try {
                Files.createFile(dir.resolve("frozen"));
                awaitFile(dir.resolve("waiting"));
            } finally {
                sim.signal("CONT");
            }
            Files.createFile(dir.resolve("thawed"));
            run = child.get();
        } finally {
            executor.shutdownNow();
        }
        Map<String, String> out = Sections.of(run.stdout);
        List<String> readMillis = run.reported("readMillis");
        // The kept laser connection carries the connect and waits out its reply time.
        assertTrue(Long.parseLong(readMillis.get(0)) < BOUND_MILLIS, "read took " + readMillis);
        assertEquals("Failed to connect to local DLN server\n",
                out.get("read").substring(0, out.get("read").indexOf("Passing")));
        assertEquals(-7, run.reportedInts("frozenRead")[2]);
        assertTrue(Long.parseLong(run.reported("laser2Millis").get(0)) < BOUND_MILLIS,
                "measurement took " + run.reported("laser2Millis"));
        assertTrue(out.get("measure").contains("API Status: -20 : Control Interface Error\n"),
                out.get("measure"));
        assertTrue(out.get("reread").contains("I2C Enabled\n"), out.get("reread"));
        assertTrue(out.get("reconnect").contains("Number of Devices: 7\n"), out.get("reconnect"));
    }

    /** In the child: programming the EEPROM, the server killed meanwhile, then a read. */
    public static void programmingChild() throws Exception {
        Files.createFile(Path.of("programming"));
        Sections.begin("program");
        long start = System.nanoTime();
        I2C_DLN.spiProgramEEPROM(new int[255]);
        NativeRun.report("programMillis", (System.nanoTime() - start) / 1_000_000);
        NativeRun.report("programEndedAt", System.currentTimeMillis());
        Sections.begin("read");
        readTwo();
        Sections.begin("end");
    }

    @Test
    void serverKilledWhileProgrammingTheEepromEndsTheProgrammingInTime() throws Exception {
        Path dir = Files.createTempDirectory("server-killed-programming");
        Files.writeString(dir.resolve("program.hex"), "0 12\n1 34\n");
        // A chip that stays busy for 50 status reads per page makes the programming last
        // seconds, so the kill surely lands in the middle of it.
        Path scenario = dir.resolve("slow_eeprom.json");
        Files.writeString(scenario,
                "{\"spi\": [{\"ss\": 0, \"model\": \"eeprom\", \"programBusyReads\": 50}]}");
        Path trace = dir.resolve("trace.txt");
        ExecutorService executor = Executors.newSingleThreadExecutor();
        NativeRun run;
        long killedAt;
        try {
            SimServer sim = SimServer.start(scenario, trace);
            Future<NativeRun> child =
                    executor.submit(() -> NativeRun.run("ServerFaultTest#programmingChild", dir));
            try {
                awaitFile(dir.resolve("programming"));
                long deadline = System.nanoTime() + 30_000_000_000L;
                while (lines(trace) < 500 && System.nanoTime() < deadline) {
                    Thread.sleep(1);
                }
                sim.signal("STOP");
            } finally {
                killedAt = System.currentTimeMillis();
                sim.kill();
            }
            run = child.get();
        } finally {
            executor.shutdownNow();
        }
        Map<String, String> out = Sections.of(run.stdout);
        String program = out.get("program");
        // Bounded from the kill on: how long the programming ran before depends on the machine.
        long afterKill = Long.parseLong(run.reported("programEndedAt").get(0)) - killedAt;
        assertTrue(afterKill < BOUND_MILLIS, "programming went on " + afterKill
                + " ms after the kill, " + run.reported("programMillis") + " ms in all");
        assertTrue(program.contains("DlnSpiMasterReadWrite() function returns 0x40\n"
                + "DlnSpiMasterReadWrite() failed\n"), program);
        assertTrue(program.endsWith("Passing Write Data =0\n"), program);
        assertEquals(65536, Files.readAllLines(dir.resolve("zz.dat")).size());
        assertTrue(out.get("read").startsWith("Failed to connect to local DLN server\n"),
                out.get("read"));
    }
}
