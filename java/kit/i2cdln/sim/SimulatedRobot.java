package i2cdln.sim;

import java.lang.annotation.Documented;
import java.lang.annotation.ElementType;
import java.lang.annotation.Inherited;
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;
import java.lang.annotation.Target;
import org.junit.jupiter.api.extension.ExtendWith;

/**
 * Runs a test class against its own {@code dln-sim}: started with the scenario before the
 * class's first test, stopped after its last, also when something failed. Test methods (and
 * {@code @BeforeAll} / {@code @AfterAll} methods) may take a {@link SimRobot} parameter to read
 * the simulator's trace, output or port.
 *
 * <pre>{@code
 * @SimulatedRobot(scenario = "scenarios/wall.json")
 * class PatrolTest {
 *     @Test
 *     void steersStraight(SimRobot robot) {
 *         Dln.create().servo(0x51).setPulseWidth(1500, 0);
 *         assertEquals(List.of(1500), robot.trace().servoPulseWidths(0x51));
 *     }
 * }
 * }</pre>
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
}
