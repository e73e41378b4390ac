import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.Dln;
import i2cdln.DlnException;
import i2cdln.sim.SimRobot;
import i2cdln.sim.SimulatedRobot;
import java.util.LinkedHashMap;
import java.util.Map;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfSystemProperty;

/**
 * Test classes against a recording (register 0x10 of the board at 0x50 read once; it held 0x3c
 * on the robot): the program that made it passes, one that reads another register fails with
 * the first mismatch as its message.
 */
class KitReplayTest {
    static final String RECORDING = "recordings/register_read.jsonl";

    @SimulatedRobot(replay = RECORDING)
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class StrictAsRecorded {
        @Test
        void readsWhatTheRobotAnswered(SimRobot robot) {
            assertEquals(0x3c, Dln.create().i2c(0x50).readRegister(0x10));
            assertEquals(0, robot.replayMismatches().size());
            assertThrows(IllegalStateException.class, robot::trace);
            assertThrows(IllegalStateException.class, robot::world);
        }
    }

    @SimulatedRobot(replay = RECORDING)
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class StrictOtherRegister {
        @Test
        void readsAnotherRegister() {
            Dln.create().i2c(0x50).readRegister(0x11);
        }
    }

    @SimulatedRobot(replay = RECORDING, lenient = true)
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class LenientAsRecorded {
        @Test
        void readsWhatTheRobotAnswered() {
            assertEquals(0x3c, Dln.create().i2c(0x50).readRegister(0x10));
        }
    }

    @SimulatedRobot(replay = RECORDING, lenient = true)
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class LenientOtherRegister {
        @Test
        void readsAnotherRegister() {
            Dln.create().i2c(0x50).readRegister(0x11);
        }
    }

    @SimulatedRobot(replay = RECORDING)
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class MismatchBeforeTheTests {
        @BeforeAll
        static void readsAnotherRegister() {
            Dln.create().i2c(0x50).write(0x11);
        }

        @Test
        void nothing() {
        }
    }

    @SimulatedRobot(replay = RECORDING)
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class MismatchUnnoticedBeforeTheTests {
        @BeforeAll
        static void readsAnotherRegister() {
            try {
                Dln.create().i2c(0x50).write(0x11);
            } catch (DlnException ignored) {
                // the class fails all the same, after its tests
            }
        }

        @Test
        void nothing() {
        }
    }

    @SimulatedRobot(replay = RECORDING, scenario = "scenarios/kit_a.json")
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class ReplayWithAScenario {
        @Test
        void never() {
        }
    }

    @Test
    void aTestThatMismatchedFailsWithTheFirstMismatch() {
        // The fixture, and what its failure's message starts with ("" for a pass).
        Map<Class<?>, String> expected = new LinkedHashMap<>();
        expected.put(StrictAsRecorded.class, "");
        expected.put(StrictOtherRegister.class, "the replay saw 1 call unlike the recording "
                + "here; the first:\nreplay: mismatch at recorded call 4 (request 4 of this"
                + " run); it fails with 0x4F\n  recorded: DlnI2cMasterWrite handle=1 port=0"
                + " slaveAddress=0x50 memoryAddressLength=0 memoryAddress=0 length=1 buffer=[10]\n"
                + "  came:     DlnI2cMasterWrite handle=1 port=0 slaveAddress=0x50"
                + " memoryAddressLength=0 memoryAddress=0 length=1 buffer=[11]\n"
                + "  bytes sent recorded: 10\n  bytes sent came:     11\n");
        expected.put(LenientAsRecorded.class, "");
        expected.put(LenientOtherRegister.class, "the replay saw 1 call unlike the recording "
                + "here; the first:\nreplay: request 4 is like no recorded call; it fails"
                + " with 0x4F\n");
        expected.put(MismatchBeforeTheTests.class, "the replay saw 1 call unlike the recording "
                + "here; the first:\nreplay: mismatch at recorded call 4 (request 4 of this run)");
        expected.put(MismatchUnnoticedBeforeTheTests.class, "the replay saw more calls unlike"
                + " the recording than its tests failed for (in @BeforeAll or @AfterAll, or past"
                + " the 10 that dln-sim shows): replay (strict): ");
        expected.put(ReplayWithAScenario.class, "KitReplayTest$ReplayWithAScenario: a replay"
                + " answers from its recording and takes its timing from it: no scenario");
        expected.forEach((fixture, message) -> {
            var failures = KitFixtures.run(fixture).getFailures();
            if (message.isEmpty()) {
                assertEquals(0, failures.size(), () -> fixture + ": " + failures.get(0).getException());
                return;
            }
            assertEquals(1, failures.size(), fixture::toString);
            String actual = failures.get(0).getException().getMessage();
            assertTrue(actual.startsWith(message), fixture + "\nexpected: " + message
                    + "\nactual:   " + actual);
        });
    }
}
