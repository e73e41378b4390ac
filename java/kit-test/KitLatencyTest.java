import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.Dln;
import i2cdln.sim.SimRobot;
import i2cdln.sim.SimTrace;
import i2cdln.sim.SimulatedRobot;
import java.io.IOException;
import java.time.Duration;
import org.junit.jupiter.api.Test;

/** The robot preset: every call is held as the model says, and the kit tells for how long. */
@SimulatedRobot(latency = "robot")
class KitLatencyTest {
    @Test
    void aReadTakesAtLeastTheTimeTheModelHeldItsCalls(SimRobot robot) throws IOException {
        int before = robot.trace().calls().size();
        long start = System.nanoTime();
        Dln.create().i2c(0x50).read(2);
        Duration took = Duration.ofNanos(System.nanoTime() - start);
        SimTrace trace = robot.trace();
        Duration held = Duration.ZERO;
        for (SimTrace.Call call : trace.calls().subList(before, trace.calls().size())) {
            assertTrue(call.heldMicros() > 0, call.toString());
            held = held.plusNanos(call.heldMicros() * 1000);
        }
        // USB calls of 1-2 ms each: a first read (the session's port enable and the read
        // itself over USB) takes milliseconds on the robot.
        assertTrue(held.toMillis() >= 2, held.toString());
        assertTrue(took.compareTo(held) >= 0, took + " < " + held);
        assertEquals(trace.modelledTime(), robot.modelledTime());
    }
}
