import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import examples.Patrol;
import i2cdln.Dln;
import i2cdln.sim.SimFault;
import i2cdln.sim.SimRobot;
import i2cdln.sim.SimTrace;
import i2cdln.sim.SimulatedRobot;
import java.time.Duration;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * The patrol example in a world the test changes: the wall comes near through a burst of
 * NACKs on the laser, and the patrol stops the motor, as the trace shows.
 */
@SimulatedRobot(scenario = "scenarios/kit_patrol.json")
class KitPatrolTest {
    // Bounds for a fully loaded machine; on an idle one the whole test takes about a second.
    private static final Duration LOADED_MACHINE = Duration.ofSeconds(30);
    private static final int BURST = 10;

    /** The motor commands the ADC/DAC board took (its output value; 0 stops the motor). */
    static List<Integer> motorCommands(SimTrace trace) {
        return trace.notes(0x48).stream().filter(n -> n.contains("dac = "))
                .map(n -> Integer.parseInt(n.substring(n.indexOf("dac = ") + 6))).toList();
    }

    static long nacksAtTheLaser(SimTrace trace) {
        return trace.to(0x29).stream().filter(c -> c.resultName().equals("I2C NACK")).count();
    }

    @Test
    void theWallComesNearThroughABurstOfNacksAndThePatrolStopsTheMotor(SimRobot robot)
            throws Exception {
        long start = System.nanoTime();
        SimTrace far;
        SimTrace stopped;
        try (Patrol.Running patrol = Patrol.start(Dln.create())) {
            far = robot.trace().await(t -> motorCommands(t).contains(Patrol.DRIVE), LOADED_MACHINE);
            // The burst first: every laser read after it fails until it is spent, so no range
            // of the near wall can come before the NACKs.
            robot.world().fault(SimFault.on("DlnI2cMasterRead").address(0x29).code("nack")
                    .count(BURST));
            robot.world().set(0x29, "distanceMm", 300);
            stopped = robot.trace().await(t -> motorCommands(t.since(far)).contains(Patrol.STOP),
                    LOADED_MACHINE);
            System.out.printf("the patrol stopped the motor %.2f s after the test started%n",
                    (System.nanoTime() - start) / 1e9);
        }

        assertTrue(motorCommands(far).stream().allMatch(c -> c == Patrol.DRIVE),
                "only drive while the wall is far: " + motorCommands(far));
        SimTrace after = stopped.since(far);
        assertEquals(BURST, nacksAtTheLaser(after), "the whole burst met the laser");
        List<SimTrace.Call> calls = after.calls();
        int lastNack = -1;
        int firstStop = -1;
        for (int i = 0; i < calls.size(); i++) {
            SimTrace.Call call = calls.get(i);
            if (call.address() == 0x29 && call.resultName().equals("I2C NACK")) {
                lastNack = i;
            }
            if (firstStop < 0 && call.address() == 0x48 && call.note().endsWith("dac = 0")) {
                firstStop = i;
            }
        }
        assertTrue(lastNack < firstStop, "the stop rests on a range after the burst");
        // The laser answered again: the stop came from a range of the near wall.
        assertTrue(calls.subList(lastNack + 1, firstStop).stream()
                .anyMatch(c -> c.address() == 0x29 && c.succeeded()
                        && c.name().equals("DlnI2cMasterRead")));
    }
}
