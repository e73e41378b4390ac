package i2cdln.sim;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.concurrent.Semaphore;
import org.junit.jupiter.api.extension.BeforeAllCallback;
import org.junit.jupiter.api.extension.ExtensionConfigurationException;
import org.junit.jupiter.api.extension.ExtensionContext;
import org.junit.jupiter.api.extension.ParameterContext;
import org.junit.jupiter.api.extension.ParameterResolver;
import org.junit.platform.commons.support.AnnotationSupport;

/**
 * The JUnit 5 extension behind {@link SimulatedRobot}.
 *
 * <p><b>Which port.</b> Our {@code dln} library reads the server address from the environment
 * variable {@code DLN_SERVER} of the process, and a JVM cannot change its own environment. So
 * the simulator listens where the test JVM's {@code DLN_SERVER} points ("host:port" or "port",
 * by the rule of {@code i2cdln.ServerAddress}), or on the library's fixed localhost:9656 (bound
 * on 127.0.0.1) when it is unset. Each test JVM thus has one simulator address: test classes of one JVM take turns (a class waits until the previous
 * class's simulator has stopped, also under JUnit's parallel execution), while test classes in
 * different JVMs, each started with its own {@code DLN_SERVER}, run at the same time on one
 * machine. {@link WithFreePort} starts a command (such as a test JVM) with {@code DLN_SERVER}
 * set to a free loopback port; a build tool's forked test JVMs may instead get distinct ports
 * in their environment.
 *
 * <p><b>Which program.</b> The simulator is the file named by the system property
 * {@code dlnsim.path}, else the environment variable {@code DLNSIM_PATH}, else {@code dln-sim}
 * on the {@code PATH}.
 *
 * <p><b>Stopping.</b> The simulator is held in the class's extension store, which JUnit closes
 * after the class on every path (failed tests, a failed {@code @BeforeAll} or {@code @AfterAll});
 * a JVM that ends early (Ctrl-C, SIGTERM) stops it from a shutdown hook. Only a JVM killed
 * outright (SIGKILL) leaves it running.
 */
public final class SimulatedRobotExtension implements BeforeAllCallback, ParameterResolver {
    private static final ExtensionContext.Namespace NAMESPACE =
            ExtensionContext.Namespace.create(SimulatedRobotExtension.class);
    // One simulator address per JVM: classes hold it in turn.
    private static final Semaphore ADDRESS = new Semaphore(1, true);

    /** Creates the extension; JUnit does this for {@link SimulatedRobot}. */
    public SimulatedRobotExtension() {
    }

    @Override
    public void beforeAll(ExtensionContext context) throws Exception {
        Class<?> testClass = context.getRequiredTestClass();
        SimulatedRobot settings = AnnotationSupport
                .findAnnotation(testClass, SimulatedRobot.class)
                .orElseThrow(() -> new ExtensionConfigurationException(
                        testClass.getName() + " is not annotated with @SimulatedRobot"));
        SimRobot.Address address = SimRobot.Address.fromEnvironment();
        Path scenario = settings.scenario().isEmpty() ? null
                : scenarioFile(testClass, settings.scenario());
        ADDRESS.acquire();
        try {
            context.getStore(NAMESPACE).put(Held.class, new Held(SimRobot.start(
                    SimRobot.program(), scenario, settings.latency(), address)));
        } catch (IOException | RuntimeException e) {
            ADDRESS.release();
            throw e;
        }
    }

    /** The running simulator in the class's store; JUnit closes it after the class. */
    private static final class Held implements ExtensionContext.Store.CloseableResource {
        final SimRobot robot;

        Held(SimRobot robot) {
            this.robot = robot;
        }

        @Override
        public void close() {
            try {
                robot.close();
            } finally {
                ADDRESS.release();
            }
        }
    }

    @Override
    public boolean supportsParameter(ParameterContext parameter, ExtensionContext context) {
        return parameter.getParameter().getType() == SimRobot.class;
    }

    @Override
    public Object resolveParameter(ParameterContext parameter, ExtensionContext context) {
        Held held = context.getStore(NAMESPACE).get(Held.class, Held.class);
        if (held == null) {
            throw new ExtensionConfigurationException("no simulator runs for "
                    + context.getRequiredTestClass().getName() + "; annotate it @SimulatedRobot");
        }
        return held.robot;
    }

    /** The scenario as a file: the path itself, or a class-path resource copied out. */
    private static Path scenarioFile(Class<?> testClass, String name) throws IOException {
        Path path = Path.of(name);
        if (Files.isRegularFile(path)) {
            return path.toAbsolutePath();
        }
        String resource = name.startsWith("/") ? name : "/" + name;
        try (InputStream in = testClass.getResourceAsStream(resource)) {
            if (in == null) {
                throw new ExtensionConfigurationException("scenario " + name
                        + " is neither a file (from " + Path.of("").toAbsolutePath()
                        + ") nor a class-path resource");
            }
            Path copy = Files.createTempFile("scenario-", ".json");
            copy.toFile().deleteOnExit();
            Files.copy(in, copy, StandardCopyOption.REPLACE_EXISTING);
            return copy;
        }
    }
}
