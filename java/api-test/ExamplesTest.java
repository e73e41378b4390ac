import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;

/** The two example programs, run as a user would, against dln-sim. */
public class ExamplesTest {
    static final Pattern TURN = Pattern.compile("PATROL t=(\\d+) range=(\\w+) motor=(run|stop)");
    static final Pattern INJECTED = Pattern.compile("(\\d+) calls failed by injected faults");

    record Run(int exitCode, String stdout) {}

    /** Runs an example's main class in its own JVM; standard output holds the library's lines too. */
    static Run example(String mainClass, String... args) throws Exception {
        List<String> command = new ArrayList<>(List.of(
                Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", System.getProperty("classes.dir"), mainClass));
        command.addAll(List.of(args));
        Path out = Files.createTempFile("example", ".txt");
        try {
            Process process = new ProcessBuilder(command).redirectErrorStream(true)
                    .redirectOutput(out.toFile()).directory(new File(System.getProperty("java.io.tmpdir")))
                    .start();
            if (!process.waitFor(120, TimeUnit.SECONDS)) {
                process.destroyForcibly();
                throw new AssertionError(mainClass + " did not finish within 120 s");
            }
            return new Run(process.exitValue(), Files.readString(out, StandardCharsets.ISO_8859_1));
        } finally {
            Files.deleteIfExists(out);
        }
    }

    @Test
    void thePatrolStopsTheMotorNearTheWallAndNeverOnAFailedReading() throws Exception {
        // A burst of 100 failing laser reads 8 s in, on top of the random faults (fewer can be
        // absorbed by the data-ready polling): the laser must recover, or give up on a reading,
        // and the loop go on.
        Path scenario = Files.createTempFile("patrol", ".json");
        Files.writeString(scenario, Files.readString(Path.of(System.getProperty("source.dir"),
                "java/api-test/scenarios/patrol_wall.json")).replace("\"faults\": []",
                "\"faults\": [], " + burstAt(8, 100)));
        Run run;
        int injected = -1;
        try (SimServer sim = SimServer.start(scenario, null)) {
            // Past the wall's return at 15 s of the simulator's time, however late it started.
            run = example("examples.Patrol", "17");
            sim.stop();
            for (String line : sim.output()) {
                Matcher m = INJECTED.matcher(line);
                if (m.find()) {
                    injected = Integer.parseInt(m.group(1));
                }
            }
        }
        assertEquals(0, run.exitCode(), run.stdout());
        assertTrue(injected > 0, "no fault was injected");
        // The decisions in order: run while the wall is far, stop while it is near (never on a
        // range below the wall's 200 mm: a failed reading of 0 mm would show here), run again.
        StringBuilder phases = new StringBuilder();
        int turns = 0;
        Matcher turn = TURN.matcher(run.stdout());
        while (turn.find()) {
            turns++;
            String range = turn.group(2);
            boolean stop = turn.group(3).equals("stop");
            int mm = range.equals("none") ? Integer.MAX_VALUE : Integer.parseInt(range);
            assertEquals(mm < 400, stop, turn.group());
            assertTrue(mm >= 195, "a range nearer than the wall: " + turn.group());
            char phase = stop ? 'S' : 'R';
            if (phases.length() == 0 || phases.charAt(phases.length() - 1) != phase) {
                phases.append(phase);
            }
        }
        assertEquals("RSR", phases.toString(), run.stdout());
        // 17 s of a 100 ms loop at a fixed rate, which the 300 ms ultrasonic calls in their
        // thread do not stall: stalled, it would make fewer than 60.
        assertTrue(turns >= 110, turns + " turns of the loop");
        assertTrue(run.stdout().split("ultrasonic=150 cm", -1).length > 5, "too few sonar lines");
        // Measurements failed; the loop carried on and ranged again afterwards.
        Matcher failure = Pattern.compile(
                "after \\d+ failed measurements|laser recovery 1: |reading failed, motor unchanged: ")
                .matcher(run.stdout());
        assertTrue(failure.find(), "no measurement failed: " + run.stdout());
        int failed = failure.start();
        assertTrue(TURN.matcher(run.stdout()).region(failed, run.stdout().length()).find(),
                "no range after the failures");
        Files.delete(scenario);
    }

    /** A timeline that fails the next reads of the laser from the given second on. */
    static String burstAt(int second, int reads) {
        return "\"timeline\": [{\"at\": " + second + ", \"fault\": {\"call\": \"DlnI2cMasterRead\","
                + " \"address\": \"0x29\", \"code\": \"0x44\", \"count\": " + reads + "}}]";
    }

    static final Pattern RANGE = Pattern.compile("PATROL t=(\\d+) range=(\\w+) (.*)");
    static final Pattern INPUTS = Pattern.compile("inputs=\\[([0-9, ]*)]");

    /**
     * The patrol under 5% random NACKs and failed calls on the I2C bus, a burst of 40 failing
     * laser reads 11 s after the simulator started, and a simulator restart 14 s into the
     * patrol. Asserted: every motor decision rests on a valid range (no false stop), every near
     * range sends a stop (no missed stop), no impossible range. Measured
     * and printed: ADC inputs handed back wrong without an exception, and the longest time
     * without a valid range outside the restart and the burst.
     */
    @Test
    void thePatrolUnderFivePercentFaultsABurstAndARestart() throws Exception {
        Path scenario = Files.createTempFile("patrol5", ".json");
        Files.writeString(scenario, Files.readString(Path.of(System.getProperty("source.dir"),
                "java/api-test/scenarios/patrol_wall.json"))
                .replace("\"rate\": 0.002", "\"rate\": 0.05")
                // The wall as it came before the scenario waited longer for a slow start: near
                // from 5.79 s to 7.21 s of each simulator's life, clear of the burst (11 s) and
                // of the restart (14 s), so that both lives show a near stretch.
                .replace("\"timeMs\": 10000", "\"timeMs\": 4000")
                .replace("\"timeMs\": 12500", "\"timeMs\": 6500")
                .replace("\"timeMs\": 15000", "\"timeMs\": 9000")
                .replace("\"faults\": []", "\"faults\": [], " + burstAt(11, 40)));
        long simStart = System.currentTimeMillis();
        SimServer sim = SimServer.start(scenario, null);
        Run run;
        long killed;
        long restarted;
        try {
            java.util.concurrent.CompletableFuture<Run> patrol =
                    java.util.concurrent.CompletableFuture.supplyAsync(() -> {
                        try {
                            return example("examples.Patrol", "26");
                        } catch (Exception e) {
                            throw new IllegalStateException(e);
                        }
                    });
            Thread.sleep(14_000); // the restart's moment is measured, not assumed, below
            killed = System.currentTimeMillis();
            sim.kill();
            sim = SimServer.start(scenario, null);
            restarted = System.currentTimeMillis();
            run = patrol.get(120, TimeUnit.SECONDS);
        } finally {
            sim.close();
            Files.delete(scenario);
        }
        assertEquals(0, run.exitCode(), run.stdout());
        Matcher startLine = Pattern.compile("PATROL t=(\\d+) start epochMs=(\\d+)")
                .matcher(run.stdout());
        assertTrue(startLine.find(), run.stdout());
        long origin = Long.parseLong(startLine.group(2)) - Long.parseLong(startLine.group(1));
        long[][] excluded = {{simStart + 11_000 - origin, simStart + 12_000 - origin},
                {killed - origin, restarted - origin}};
        int adcReadings = 0;
        int adcWrong = 0;
        int falseStops = 0;
        int missedStops = 0;
        int unstoppedStretches = 0; // near ranges whose stop commands all failed
        int impossible = 0;
        boolean near = false;
        boolean stoppedWhileNear = false;
        long previous = -1;
        long longestGap = 0;
        long gapEnd = 0;
        Matcher line = RANGE.matcher(run.stdout());
        while (line.find()) {
            long t = Long.parseLong(line.group(1));
            int mm = line.group(2).equals("none") ? Integer.MAX_VALUE
                    : Integer.parseInt(line.group(2));
            if (mm < 195 || (mm > 905 && mm != Integer.MAX_VALUE)) {
                impossible++;
            }
            boolean outside = previous >= 0;
            for (long[] window : excluded) {
                outside &= previous > window[1] || t < window[0];
            }
            if (outside && t - previous > longestGap) {
                longestGap = t - previous;
                gapEnd = t;
            }
            previous = t;
            if (mm < 400 != near) { // a stretch of near ranges ends or begins
                unstoppedStretches += near && !stoppedWhileNear ? 1 : 0;
                near = mm < 400;
                stoppedWhileNear = false;
            }
            String rest = line.group(3);
            falseStops += rest.startsWith("motor=stop") && mm >= 400 ? 1 : 0;
            missedStops += rest.startsWith("motor=run") && mm < 400 ? 1 : 0;
            stoppedWhileNear |= rest.startsWith("motor=stop");
            Matcher inputs = INPUTS.matcher(rest);
            if (inputs.find()) {
                adcReadings++;
                adcWrong += inputs.group(1).equals("58, 127, 196, 18") ? 0 : 1;
            }
        }
        unstoppedStretches += near && !stoppedWhileNear ? 1 : 0;
        // Against the world rather than the readings: the wall is nearer than 400 mm from
        // 5.79 s to 7.21 s of each simulator's life; a stretch without any stop in it (and
        // 0.3 s after) is a stop the patrol missed, readings or not. Printed, not asserted:
        // a laser blind for the whole stretch is the library's to fix, not the loop's.
        int worldMisses = 0;
        Pattern stopLine = Pattern.compile("PATROL t=(\\d+) range=\\w+ motor=stop");
        for (long life : new long[] {simStart - origin, restarted - origin}) {
            long from = life + 5786;
            long to = life + 7214 + 300;
            Matcher stop = stopLine.matcher(run.stdout());
            boolean stopped = false;
            while (stop.find()) {
                long t = Long.parseLong(stop.group(1));
                stopped |= t >= from && t <= to;
            }
            worldMisses += stopped || to > 26_000 ? 0 : 1;
        }
        System.out.printf("PATROL UNDER FAULTS: near stretches of the wall without a stop: %d;"
                + " stretches of near ranges whose stop commands all failed: %d%n", worldMisses,
                unstoppedStretches);
        System.out.printf("PATROL UNDER FAULTS: %d ADC readings, %d wrong without an exception;"
                + " %d false stops, %d missed stops, %d impossible ranges; longest time without a"
                + " valid range outside the burst and the restart: %d ms, until t=%d%n",
                adcReadings, adcWrong, falseStops, missedStops, impossible, longestGap, gapEnd);
        long gapStart = gapEnd - longestGap;
        long gapStop = gapEnd;
        Pattern time = Pattern.compile("PATROL t=(\\d+) .*");
        run.stdout().lines().map(time::matcher).filter(Matcher::matches).filter(m -> {
            long t = Long.parseLong(m.group(1));
            return t >= gapStart && t <= gapStop;
        }).forEach(m -> System.out.println("  " + m.group()));
        assertEquals(0, falseStops, run.stdout());
        assertEquals(0, missedStops, run.stdout());
        assertEquals(0, impossible, run.stdout());
        // A failed first read of the board's exchange is a failure too, so no reading comes
        // back stale; the faults here are NACKs and failed calls only, never wrong bytes.
        assertEquals(0, adcWrong, run.stdout());
        assertTrue(adcReadings > 50, run.stdout());
    }

    @Test
    void theBringUpToolFindsEveryDeviceOfTheRobot() throws Exception {
        Run run;
        try (SimServer sim = SimServer.start()) {
            run = example("examples.BringUp");
        }
        assertEquals(0, run.exitCode(), run.stdout());
        for (String line : List.of("BRINGUP scan [0x29, 0x30, 0x48, 0x50, 0x51, 0x52, 0x70]",
                "BRINGUP 0x30 motor board: ok, speed 100", "BRINGUP 0x51 servo board: ok, current 44",
                "BRINGUP 0x70 ultrasonic ranger: ok, 300 cm",
                "BRINGUP EEPROM on SPI line 0: ok, id 20 20 10", "BRINGUP all devices answered")) {
            assertTrue(run.stdout().contains(line + "\n"), line);
        }
        Run none = example("examples.BringUp");
        assertEquals(2, none.exitCode(), none.stdout());
        assertTrue(none.stdout().contains("BRINGUP no adapter server: Adapter.description at"
                + " adapter: 0x47 connection failed"),
                none.stdout());
    }
}
