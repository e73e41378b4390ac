import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.Dln;
import i2cdln.I2cDevice;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * The kept adapter session under the hostile cases of a server that goes silent and one that
 * restarts, and a board whose first answer of an exchange fails: each failure is an exception
 * with the adapter's result code, nothing wrong comes back as success, and calls work again by
 * themselves once the server does.
 */
public class SessionFaultTest {
    /** In the child: reads around a silent server and a restarted one, on one Dln. */
    public static void silentAndRestartedChild() throws Exception {
        I2cDevice device = Dln.create().i2c(0x50);
        NativeRun.report("first", FaultSafetyTest.outcome(() -> Arrays.toString(device.read(2))));
        handOver("opened", "stopped");
        long start = System.nanoTime();
        NativeRun.report("silent", FaultSafetyTest.outcome(() -> Arrays.toString(device.read(2))));
        NativeRun.report("silentMillis", (System.nanoTime() - start) / 1_000_000);
        handOver("timedOut", "continued");
        NativeRun.report("afterSilence",
                FaultSafetyTest.outcome(() -> Arrays.toString(device.read(2))));
        handOver("read", "restarted");
        NativeRun.report("afterRestart",
                FaultSafetyTest.outcome(() -> Arrays.toString(device.read(2))));
    }

    /** In the child: tells the parent it got so far, and waits for its answer. */
    static void handOver(String done, String awaited) throws Exception {
        Files.createFile(Path.of(done));
        ServerFaultTest.awaitFile(Path.of(awaited));
    }

    @Test
    void aSilentServerTimesOutAndARestartedOneIsReconnectedToByItself() throws Exception {
        Path dir = Files.createTempDirectory("session-faults");
        SimServer sim = SimServer.start();
        NativeRun run;
        try {
            CompletableFuture<NativeRun> child = FaultSafetyTest.childInBackground(
                    "SessionFaultTest#silentAndRestartedChild", dir);
            ServerFaultTest.awaitFile(dir.resolve("opened"));
            FaultSafetyTest.silence(sim, dir, "timedOut");
            ServerFaultTest.awaitFile(dir.resolve("read"));
            sim.kill();
            sim = SimServer.start();
            Files.createFile(dir.resolve("restarted"));
            run = child.get(120, TimeUnit.SECONDS);
        } finally {
            sim.close();
        }
        assertEquals(0, run.exitCode, run.stderr);
        assertEquals(List.of("ok:[0, 0]"), run.reported("first"), run.stderr);
        // The read's bound is 1 s; the adapter call in flight ends within our dln's 2 s.
        assertTrue(run.reported("silent").get(0).startsWith("NoServerException(0x102):"
                + "I2cDevice.read at I2C 0x50: 0x102 time bound passed"), run.stderr);
        assertTrue(Long.parseLong(run.reported("silentMillis").get(0)) < 5000, run.stderr);
        assertEquals(List.of("ok:[0, 0]"), run.reported("afterSilence"), run.stderr);
        assertEquals(List.of("ok:[0, 0]"), run.reported("afterRestart"), run.stderr);
    }

    public static void adcChild() {
        for (String name : List.of("stale", "again")) {
            NativeRun.report(name, FaultSafetyTest.outcome(
                    () -> Arrays.toString(Dln.create().adcDac(0x48).exchange(0x21))));
        }
    }

    @Test
    void anAdcExchangeWhoseFirstReadFailsIsAnExceptionNeverTheStaleConversion() throws Exception {
        Path scenario = Files.createTempFile("adc-first-read", ".json");
        Files.writeString(scenario, "{\"i2c\": [{\"address\": \"0x48\", \"model\":"
                + " \"adc-dac-board\", \"inputs\": [\"0x3A\", \"0x7F\", \"0xC4\", \"0x12\"]}],"
                + " \"faults\": [{\"call\": \"DlnI2cMasterRead\", \"address\": \"0x48\","
                + " \"code\": \"nack\", \"nth\": 3}]}");
        NativeRun run;
        try (SimServer sim = SimServer.start(scenario, null)) {
            run = NativeRun.run("SessionFaultTest#adcChild");
        } finally {
            Files.delete(scenario);
        }
        // The third read is the first of input 2: its second read would hand back input 1's
        // conversion, 58, as input 2.
        assertTrue(run.reported("stale").get(0).startsWith("NoDeviceException(0x44):"
                + "AdcDacBoard.exchange at I2C 0x48: 0x44 I2C NACK at I2C 0x48, input 2"),
                run.stderr);
        assertEquals(List.of("ok:[58, 127, 196, 18]"), run.reported("again"), run.stderr);
    }
}
