import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The laser method from Java over TCP against dln-sim: connect, calibrate, measure. */
public class LaserMeasurementTest {
    static final String OK = "API Status: 0 : No Error\n";

    static Path scenario(String name) {
        return Path.of(System.getProperty("source.dir"), "java/test/scenarios", name);
    }

    static int[] laser(int code) {
        int[] slots = new int[255];
        slots[0] = 0x29;
        slots[1] = code;
        NativeRun.report("return" + code, I2C_DLN.I2C_LaserMeasurement(slots));
        return slots;
    }

    static int range(int[] slots) {
        return slots[2] << 8 | slots[3];
    }

    /** In the child: operations 0 and 1, then three measurements 250 ms apart. */
    public static void connectCalibrateMeasureChild() throws InterruptedException {
        laser(0);
        laser(1);
        for (int i = 0; i < 3; i++) {
            long start = System.nanoTime();
            int[] slots = laser(2);
            NativeRun.report("millis", (System.nanoTime() - start) / 1_000_000);
            NativeRun.report("range", range(slots));
            Thread.sleep(250);
        }
    }

    static NativeRun runAgainst(String scenarioName) throws Exception {
        SimServer sim = SimServer.start(scenario(scenarioName), null);
        try {
            return NativeRun.run("LaserMeasurementTest#connectCalibrateMeasureChild");
        } finally {
            sim.close();
        }
    }

    /** Each marker must follow the previous one; register reads print bytes between lines. */
    static void assertInOrder(String text, String... markers) {
        int at = 0;
        for (String marker : markers) {
            int found = text.indexOf(marker, at);
            assertTrue(found >= 0, "\"" + marker + "\" missing after offset " + at + " in:\n" + text);
            at = found + marker.length();
        }
    }

    @Test
    void operationsZeroOneTwoMeasureTheScenarioDistance() throws Exception {
        NativeRun run = runAgainst("laser_still.json");
        assertEquals(List.of("10", "10", "10", "10", "10"), List.of(run.reported("return0").get(0),
                run.reported("return1").get(0), run.reported("return2").get(0),
                run.reported("return2").get(1), run.reported("return2").get(2)));
        assertInOrder(run.stdout, "Laser Operation for I2C Address:29 is: 0\n", "End IDs\n",
                "Laser Operation for I2C Address:29 is: 1\n",
                "Start Test Ranging +++++++++++++++++++++++++++++++++++++++++++\n",
                "Call of VL53L0X_StaticInit\n", OK, "Call of VL53L0X_PerformRefCalibration\n", OK,
                "Call of VL53L0X_PerformRefSpadManagement\n",
                "refSpadCount = 3, isApertureSpads = 1\n", OK, "Call of VL53L0X_SetDeviceMode\n",
                OK, "Laser Operation for I2C Address:29 is: 2\n",
                "Call of VL53L0X_PerformSingleRangingMeasurement\n", OK,
                "Range Status: 0 : Range Valid\n", "RANGE IGNORE THRESHOLD: ",
                "Laser Measuremnet=", OK);
        for (String text : run.reported("range")) {
            int range = Integer.parseInt(text);
            assertTrue(Math.abs(range - 412) <= 3, "range " + range + " is not 412 +- 3 mm");
        }
        // About 34 ms of measurement, plus the round trips of polling: the fastest of the three
        // shows it. A busy machine may delay any one, but none waits out the driver's polling
        // time-out of 2000 polls.
        List<Long> millis = run.reported("millis").stream().map(Long::parseLong).toList();
        assertTrue(millis.stream().min(Long::compare).orElseThrow() <= 34 + 20,
                "operation 2 took " + millis + " ms");
        assertTrue(millis.stream().allMatch(ms -> ms < 2000),
                "operation 2 took " + millis + " ms");
    }

    @Test
    void targetBeyondReachGivesASignalFailure() throws Exception {
        NativeRun run = runAgainst("laser_far.json");
        assertInOrder(run.stdout, "Call of VL53L0X_PerformSingleRangingMeasurement\n", OK,
                "Range Status: 2 : Signal Fail\n");
    }

    @Test
    void repeatedMeasurementsFollowAMovingTarget() throws Exception {
        NativeRun run = runAgainst("laser_moving.json");
        List<String> ranges = run.reported("range");
        assertEquals(3, ranges.size());
        // 60 mm per second for 20 s from the simulator's start, which leaves a loaded machine
        // time to start the JVM and calibrate: each 250 ms pause (or longer) moves the target
        // 15 mm or more farther, and noise and rounding take at most 5 mm of that away.
        for (int i = 1; i < ranges.size(); i++) {
            int before = Integer.parseInt(ranges.get(i - 1));
            int after = Integer.parseInt(ranges.get(i));
            assertTrue(after - before >= 10, "ranges " + ranges + " do not follow the target");
        }
        int first = Integer.parseInt(ranges.get(0));
        assertTrue(first >= 150 && first <= 1350, "range " + first + " is off the path");
    }
}
