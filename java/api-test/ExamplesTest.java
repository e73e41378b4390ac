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
        // A burst of 40 failing reads a few seconds in, on top of the random faults: the laser
        // must recover (or give up on a reading) and the loop go on.
        StringBuilder burst = new StringBuilder();
        for (int nth = 1500; nth < 1540; nth++) {
            burst.append(burst.length() == 0 ? "" : ", ")
                    .append("{\"call\": \"DlnI2cMasterRead\", \"code\": \"0x44\", \"nth\": ")
                    .append(nth).append('}');
        }
        Path scenario = Files.createTempFile("patrol", ".json");
        Files.writeString(scenario, Files.readString(Path.of(System.getProperty("source.dir"),
                "java/api-test/scenarios/patrol_wall.json")).replace("\"faults\": []",
                "\"faults\": [" + burst + "]"));
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
        assertTrue(none.stdout().contains("BRINGUP no adapter server: print at adapter"),
                none.stdout());
    }
}
