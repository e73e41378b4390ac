package i2cdln.sim;

import java.lang.annotation.Documented;
import java.lang.annotation.ElementType;
import java.lang.annotation.Inherited;
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;
import java.lang.annotation.Target;
import org.junit.jupiter.api.extension.ExtendWith;

/**
 * Runs a test class against its own {@code dln-sim}: started with the scenario (or the
 * recording) before the class's first test, stopped after its last, also when something
 * failed. Test methods (and {@code @BeforeAll} / {@code @AfterAll} methods) may take a
 * {@link SimRobot} parameter to read the simulator's trace, output or port and to change its
 * world.
 *
 * <pre>{@code
 * @SimulatedRobot // the default robot; scenario = "..." names a scenario of your own
 * class PatrolTest {
 *     @Test
 *     void steersStraight(SimRobot robot) throws IOException {
 *         Dln.create().servo(0x51).setPulseWidth(1500, 0);
 *         assertEquals(List.of(1500), robot.trace().servoPulseWidths(0x51));
 *     }
 * }
 * }</pre>
 *
 * <p>With {@link #replay()} the class runs against a recording made on the robot instead: a
 * test during which a call did not match the recording fails, with dln-sim's report of the
 * first such call as its message.
 *
 * <p>See {@link SimulatedRobotExtension} for the port the simulator listens on and how test
 * classes run in parallel.
 */
@Documented
@Inherited
@Retention(RetentionPolicy.RUNTIME)
@Target(ElementType.TYPE)
@ExtendWith(SimulatedRobotExtension.class)
public @interface SimulatedRobot {
    /**
     * The scenario file: a path (relative to the working folder) or, when no such file exists,
     * a class-path resource. Empty: dln-sim's default robot.
     *
     * @return the scenario's path or resource name
     */
    String scenario() default "";

    /**
     * How long the simulated adapter takes per call: {@code "robot"} holds each reply as long
     * as the robot's USB adapter would take (about 1.5 ms per call that reaches the adapter,
     * see the README), {@code "none"} answers at once. Empty: as the scenario's
     * {@code adapter.latency} says, by default at once. {@link SimRobot#modelledTime()} tells
     * how much time the model added.
     *
     * @return a preset's name, or "" for the scenario's own
     */
    String latency() default "";

    /**
     * A recording of the recording adapter library ({@code run.jsonl}) to answer from instead
     * of the device models ({@code dln-sim --replay}): a path (relative to the working folder)
     * or, when no such file exists, a class-path resource. The calls of the class's tests take
     * the recorded calls in turn; a test during which a call mismatched fails with the first
     * mismatch (what was recorded, what came, the bytes side by side) in its message, and
     * mismatches outside any test fail the class. A replay has no trace, no live page and no
     * scenario. Empty: no replay.
     *
     * @return the recording's path or resource name
     */
    String replay() default "";

    /**
     * For a {@link #replay()}: false (strict) when each call must be the next recorded one,
     * true (lenient) when a call takes the first unused recorded call with the same call,
     * port, address, length and bytes sent, wherever it stands, for programs whose threads
     * interleave their calls differently from run to run. A call like no recorded one fails
     * the test in both.
     *
     * @return true for a lenient replay
     */
    boolean lenient() default false;

    /**
     * Device models written in Java, put on the bus before the first test and served by the
     * kit until after the last; {@link SimRobot#attach} attaches one from a test.
     *
     * <pre>{@code
     * @SimulatedRobot(devices = @SimDevice(i2c = 0x49, model = Thermometer.class))
     * }</pre>
     *
     * @return the models with their addresses or lines
     */
    SimDevice[] devices() default {};
}
