import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTimeoutPreemptively;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import i2cdln.sim.SimRobot;
import i2cdln.sim.SimulatedRobot;
import java.time.Duration;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.CopyOnWriteArrayList;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfSystemProperty;
import org.junit.platform.launcher.listeners.TestExecutionSummary;

/** The kit stops its simulator on every path and lets the next class have the address. */
class KitLifecycleTest {
    static final List<Long> PIDS = new CopyOnWriteArrayList<>();

    @SimulatedRobot
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class FailsInBeforeAll {
        @BeforeAll
        static void startFails(SimRobot robot) {
            PIDS.add(robot.pid());
            throw new IllegalStateException("on purpose");
        }

        @Test
        void never() {
        }
    }

    @SimulatedRobot
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class FailsInATest {
        @Test
        void fails(SimRobot robot) {
            PIDS.add(robot.pid());
            fail("on purpose");
        }
    }

    @SimulatedRobot(scenario = "scenarios/kit_bad.json")
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class BadScenario {
        @Test
        void never() {
        }
    }

    @SimulatedRobot
    @EnabledIfSystemProperty(named = "kit.fixtures", matches = "on")
    static class RestartsAndPasses {
        @Test
        void restarts(SimRobot robot) throws Exception {
            PIDS.add(robot.pid());
            assertTrue(KitScenarioCheck.register10() >= 0, "the default robot's 0x50 answers");
            robot.restart();
            PIDS.add(robot.pid());
            assertTrue(robot.trace().calls().isEmpty(), "the trace starts afresh");
            assertTrue(KitScenarioCheck.register10() >= 0, "answers after the restart");
        }
    }

    @Test
    void everyPathStopsTheSimulatorAndFreesTheAddress() {
        // A simulator left holding the address would block the next class for ever.
        TestExecutionSummary summary = assertTimeoutPreemptively(Duration.ofSeconds(120),
                () -> KitFixtures.run(FailsInBeforeAll.class, FailsInATest.class,
                        BadScenario.class, RestartsAndPasses.class));
        Map<String, String> failures = new TreeMap<>();
        summary.getFailures().forEach(f -> failures.put(f.getTestIdentifier().getDisplayName(),
                String.valueOf(f.getException().getMessage())));
        assertEquals(List.of("KitLifecycleTest$BadScenario", "KitLifecycleTest$FailsInBeforeAll",
                "fails(SimRobot)"),
                List.copyOf(failures.keySet()), failures::toString);
        assertTrue(failures.get("KitLifecycleTest$BadScenario").contains("is above 127"),
                "dln-sim's own reason reaches the report: " + failures.get("KitLifecycleTest$BadScenario"));
        assertEquals(1, summary.getTestsSucceededCount());
        assertEquals(4, PIDS.size(), PIDS::toString);
        for (long pid : PIDS) {
            assertFalse(ProcessHandle.of(pid).map(ProcessHandle::isAlive).orElse(false),
                    "dln-sim " + pid + " still runs");
        }
    }
}
