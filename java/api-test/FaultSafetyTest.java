import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.Dln;
import i2cdln.DlnException;
import i2cdln.LaserRanger;
import i2cdln.ServerAddress;
import i2cdln.ServoPair;
import i2cdln.ServoPulse;
import i2cdln.sim.SimTrace;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;
import java.util.function.Supplier;
import org.junit.jupiter.api.Test;

/**
 * What the typed API hands back under faults is true or an exception: a servo board left
 * mid-command is refused, an empty scan is a failure, the laser answers within its deadline
 * while the server is silent, and DLN_SERVER means what it means to our adapter library.
 */
public class FaultSafetyTest {
    static String outcome(Supplier<Object> call) {
        try {
            return "ok:" + call.get();
        } catch (RuntimeException e) {
            return failed(e);
        }
    }

    /**
     * "Type(0xCODE):message", the code left out when no native call failed. (Here, not in
     * TypedCalls, whose loading sets the laser's deadline.)
     */
    static String failed(RuntimeException e) {
        String code = e instanceof DlnException failure && failure.resultCode() != 0
                ? String.format("(0x%02X)", failure.resultCode()) : "";
        return e.getClass().getSimpleName() + code + ":" + e.getMessage();
    }

    /** In the child: the pair fails part-way at its second board; every call to that board is
     * refused until the program acknowledges, and then goes out again; the first board, whose
     * command completed, stays usable. */
    public static void servoChild() {
        Dln dln = Dln.create();
        ServoPair pair = dln.servos(0x51, 0x52);
        Map<String, Supplier<Object>> calls = new java.util.LinkedHashMap<>();
        calls.put("failing", () -> {
            pair.setPulseWidths(1200, 1800, 0, 0);
            return "";
        });
        calls.put("currents", () -> List.of(pair.currents()[0]));
        calls.put("current52", () -> dln.servo(0x52).current());
        calls.put("width51", () -> {
            dln.servo(0x51).setPulseWidth(1500, 0);
            return "";
        });
        calls.put("sequence", () -> {
            dln.servoSequence(0, List.of(new ServoPulse(0x30, 1500), new ServoPulse(0x52, 1500)));
            return "";
        });
        calls.put("inDoubt", () -> dln.servo(0x52).inDoubt() + " " + pair.inDoubt());
        calls.put("acknowledged", () -> {
            pair.acknowledgeFailure();
            return dln.servo(0x51).inDoubt();
        });
        calls.put("afterwards", () -> pair.currents()[0]);
        calls.forEach((name, call) -> NativeRun.report(name, outcome(call)));
    }

    @Test
    void aServoBoardLeftMidCommandIsRefusedUntilAcknowledged() throws Exception {
        Path trace = Files.createTempFile("servo-doubt", ".trace");
        NativeRun run;
        try (SimServer sim = SimServer.start(Path.of(System.getProperty("source.dir"),
                "java/api-test/scenarios/servo_doubt.json"), trace)) {
            run = NativeRun.run("FaultSafetyTest#servoChild");
        }
        assertEquals(0, run.exitCode, run.stderr);
        String refused = "BoardInDoubtException:%s at I2C 0x52: refused: an earlier pulse-width"
                + " command failed part-way (ServoPair.setPulseWidths at I2C 0x52: 0x44 I2C NACK";
        Map<String, String> expected = Map.of(
                "failing", "NoDeviceException(0x44):ServoPair.setPulseWidths at I2C 0x52: 0x44"
                        + " I2C NACK",
                "currents", String.format(refused, "ServoPair.currents"),
                "current52", String.format(refused, "ServoBoard.current"),
                "width51", "ok:",
                "sequence", String.format(refused, "Dln.servoSequence"),
                "inDoubt", "ok:true true", "acknowledged", "ok:false", "afterwards", "ok:44");
        expected.forEach((name, start) -> assertTrue(run.reported(name).get(0).startsWith(start),
                name + ": expected " + start + ", got " + run.reported(name)));
        // The refused calls sent nothing: after the failed read, the next write to the board
        // is the acknowledged current command.
        List<SimTrace.Call> calls = SimTrace.read(trace).calls();
        Files.delete(trace);
        int failed = 0;
        while (calls.get(failed).succeeded()) {
            failed++;
        }
        SimTrace.Call next = calls.subList(failed, calls.size()).stream()
                .filter(call -> call.name().equals("DlnI2cMasterWrite") && call.address() == 0x52)
                .findFirst().orElseThrow();
        assertEquals(List.of(0xA2), next.out(), next.toString());
    }

    public static void scanChild() {
        NativeRun.report("scan", outcome(() -> Dln.create().adapter().scan()));
    }

    @Test
    void anEmptyBusScansAsAnEmptyListAndAFailedScanThrows() throws Exception {
        Path empty = Files.createTempFile("empty-bus", ".json");
        Files.writeString(empty, "{\"i2c\": []}");
        try (SimServer sim = SimServer.start(empty, null)) {
            assertEquals(List.of("ok:[]"),
                    NativeRun.run("FaultSafetyTest#scanChild").reported("scan"));
        } finally {
            Files.delete(empty);
        }
        Path failing = Files.createTempFile("failing-scan", ".json");
        Files.writeString(failing, "{\"faults\": [{\"call\": \"DlnI2cMasterScanDevices\","
                + " \"code\": \"0x4F\"}]}");
        try (SimServer sim = SimServer.start(failing, null)) {
            assertTrue(NativeRun.run("FaultSafetyTest#scanChild").reported("scan").get(0)
                    .startsWith("NoDeviceException(0x4F):Adapter.scan at adapter: 0x4F failed"));
        } finally {
            Files.delete(failing);
        }
        assertTrue(NativeRun.run("FaultSafetyTest#scanChild").reported("scan").get(0)
                .startsWith("NoServerException(0x47):Adapter.scan at adapter"));
    }

    /** In the child: a range; two while the server is stopped; one after it goes on. */
    public static void silentServerChild() throws Exception {
        LaserRanger laser = Dln.create().laser();
        laser.setDeadline(Duration.ofSeconds(60)); // connecting and calibrating, unhurried
        NativeRun.report("before", outcome(laser::range));
        Files.createFile(Path.of("measured"));
        ServerFaultTest.awaitFile(Path.of("stopped"));
        laser.setDeadline(Duration.ofMillis(300));
        for (int call = 0; call < 2; call++) {
            long start = System.nanoTime();
            NativeRun.report("silent", outcome(laser::range));
            NativeRun.report("silentMillis", (System.nanoTime() - start) / 1_000_000);
        }
        Files.createFile(Path.of("late"));
        ServerFaultTest.awaitFile(Path.of("continued"));
        laser.setDeadline(Duration.ofSeconds(60));
        NativeRun.report("after", outcome(laser::rangeMm)); // may report how the stop ended
        NativeRun.report("after", outcome(laser::rangeMm));
    }

    /** Runs a child JVM in the background, in the folder through which it hands over. */
    static CompletableFuture<NativeRun> childInBackground(String classAndMethod, Path dir) {
        return CompletableFuture.supplyAsync(() -> {
            try {
                return NativeRun.run(classAndMethod, dir);
            } catch (Exception e) {
                throw new IllegalStateException(e);
            }
        });
    }

    /**
     * Stops the simulator (it accepts and never answers), tells the child by "stopped", lets it
     * go on once the child has made the file {@code childDone}, and tells it by "continued".
     */
    static void silence(SimServer sim, Path dir, String childDone) throws Exception {
        sim.signal("STOP");
        try {
            Files.createFile(dir.resolve("stopped"));
            ServerFaultTest.awaitFile(dir.resolve(childDone));
        } finally {
            sim.signal("CONT");
        }
        Files.createFile(dir.resolve("continued"));
    }

    @Test
    void theLaserAnswersWithinItsDeadlineWhileTheServerIsSilent() throws Exception {
        Path dir = Files.createTempDirectory("laser-silent");
        NativeRun run;
        try (SimServer sim = SimServer.start(Path.of(System.getProperty("source.dir"),
                "java/test/scenarios/laser_still.json"), null)) {
            CompletableFuture<NativeRun> child = childInBackground("FaultSafetyTest#silentServerChild",
                    dir);
            ServerFaultTest.awaitFile(dir.resolve("measured"));
            silence(sim, dir, "late");
            run = child.get(120, TimeUnit.SECONDS);
        }
        assertEquals(0, run.exitCode, run.stderr);
        assertTrue(run.reported("before").get(0).startsWith("ok:Reading[millimetres=41"),
                run.stderr);
        // A silent server holds each adapter call for seconds: only the deadline ends these.
        assertEquals(List.of("DeadlineException:LaserRanger.range at I2C 0x29: no range within"
                + " 300 ms: the laser's thread is still measuring; it goes on, and the next"
                + " range() reports how it ended"), run.reported("silent").subList(0, 1));
        assertTrue(run.reported("silent").get(1).startsWith("DeadlineException:"), run.stderr);
        for (String millis : run.reported("silentMillis")) {
            assertTrue(Long.parseLong(millis) < 1500, millis + " ms");
        }
        assertTrue(run.reported("after").get(1).matches("ok:41\\d"), run.stderr);
    }

    @Test
    void dlnServerMeansWhatItMeansToOurAdapterLibrary() {
        Map<String, String> good = Map.of("9700", "localhost:9700",
                "robot.local:9700", "robot.local:9700", "[::1]:9700", "[::1]:9700",
                "[robot]:09700", "robot:9700", "127.0.0.1:65535", "127.0.0.1:65535");
        good.forEach((text, address) -> assertEquals(address, ServerAddress.parse(text).toString(),
                text));
        for (String bad : List.of(" 9931", "9931 ", "localhost:99999", "robot", "0", "65536",
                "+9700", "-1", "host:", ":9700", "::1:9700", "[]:9700", "[::1]", "0x10", "localhost:")) {
            IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
                    () -> ServerAddress.parse(bad), bad);
            assertTrue(e.getMessage().startsWith("DLN_SERVER=\"" + bad + "\" is not"),
                    e.getMessage());
        }
    }
}
