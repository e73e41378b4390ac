package i2cdln.sim;

import java.io.IOException;
import java.io.InputStream;
import java.lang.reflect.Constructor;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.List;
import java.util.concurrent.Semaphore;
import org.junit.jupiter.api.extension.AfterAllCallback;
import org.junit.jupiter.api.extension.AfterEachCallback;
import org.junit.jupiter.api.extension.BeforeAllCallback;
import org.junit.jupiter.api.extension.BeforeEachCallback;
import org.junit.jupiter.api.extension.ExtensionConfigurationException;
import org.junit.jupiter.api.extension.ExtensionContext;
import org.junit.jupiter.api.extension.LifecycleMethodExecutionExceptionHandler;
import org.junit.jupiter.api.extension.ParameterContext;
import org.junit.jupiter.api.extension.ParameterResolver;
import org.junit.jupiter.api.extension.TestExecutionExceptionHandler;
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
public final class SimulatedRobotExtension implements BeforeAllCallback, BeforeEachCallback,
        TestExecutionExceptionHandler, LifecycleMethodExecutionExceptionHandler, AfterEachCallback,
        AfterAllCallback, ParameterResolver {
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
        boolean replay = !settings.replay().isEmpty();
        if (replay && !(settings.scenario().isEmpty() && settings.latency().isEmpty())) {
            throw new ExtensionConfigurationException(testClass.getName() + ": a replay answers"
                    + " from its recording and takes its timing from it: no scenario or latency");
        }
        if (settings.lenient() && !replay) {
            throw new ExtensionConfigurationException(
                    testClass.getName() + ": lenient is for a replay; name its recording");
        }
        Path scenario = settings.scenario().isEmpty() ? null
                : file(testClass, "scenario", settings.scenario());
        Path recording = replay ? file(testClass, "recording", settings.replay()) : null;
        ADDRESS.acquire();
        try {
            SimRobot robot = replay
                    ? SimRobot.replay(SimRobot.program(), recording, settings.lenient(), address)
                    : SimRobot.start(SimRobot.program(), scenario, settings.latency(), address);
            context.getStore(NAMESPACE).put(Held.class, new Held(robot));
        } catch (IOException | RuntimeException e) {
            ADDRESS.release();
            throw e;
        }
        // Held in the store already: JUnit stops the simulator when an attachment fails.
        SimRobot robot = held(context).robot;
        for (SimDevice device : settings.devices()) {
            attach(testClass, robot, device);
        }
    }

    private static void attach(Class<?> testClass, SimRobot robot, SimDevice device)
            throws Exception {
        Class<? extends DeviceModel> type = device.model();
        boolean i2c = device.i2c() >= 0;
        Class<?> needed = i2c ? I2cDeviceModel.class : SpiDeviceModel.class;
        if (i2c == (device.spi() >= 0) || !needed.isAssignableFrom(type)) {
            throw new ExtensionConfigurationException(testClass.getName() + ": @SimDevice of "
                    + type.getName() + " needs either i2c (an I2cDeviceModel) or spi (an"
                    + " SpiDeviceModel)");
        }
        Constructor<? extends DeviceModel> constructor;
        try {
            constructor = type.getDeclaredConstructor();
        } catch (NoSuchMethodException e) {
            throw new ExtensionConfigurationException(type.getName()
                    + " needs a constructor without arguments to be a @SimDevice", e);
        }
        constructor.setAccessible(true);
        DeviceModel model = constructor.newInstance();
        if (i2c) {
            robot.attach(device.i2c(), (I2cDeviceModel) model);
        } else {
            robot.attachSpi(device.spi(), (SpiDeviceModel) model);
        }
    }

    @Override
    public void beforeEach(ExtensionContext context) {
        Held held = held(context);
        if (held != null && held.robot.isReplay()) {
            held.testFrom = held.robot.output().size();
        }
    }

    @Override
    public void handleTestExecutionException(ExtensionContext context, Throwable thrown)
            throws Throwable {
        // A call that mismatched usually makes the program throw: the mismatch is the news.
        AssertionError mismatch = mismatch(held(context), thrown);
        throw mismatch != null ? mismatch : thrown;
    }

    @Override
    public void handleBeforeAllMethodExecutionException(ExtensionContext context,
            Throwable thrown) throws Throwable {
        handleTestExecutionException(context, thrown);
    }

    @Override
    public void handleBeforeEachMethodExecutionException(ExtensionContext context,
            Throwable thrown) throws Throwable {
        handleTestExecutionException(context, thrown);
    }

    @Override
    public void handleAfterEachMethodExecutionException(ExtensionContext context,
            Throwable thrown) throws Throwable {
        handleTestExecutionException(context, thrown);
    }

    @Override
    public void handleAfterAllMethodExecutionException(ExtensionContext context,
            Throwable thrown) throws Throwable {
        handleTestExecutionException(context, thrown);
    }

    @Override
    public void afterEach(ExtensionContext context) {
        AssertionError mismatch = mismatch(held(context), null);
        if (mismatch != null) {
            throw mismatch;
        }
    }

    /** The failure for the replay's mismatches during the test, once; null when none. */
    private static AssertionError mismatch(Held held, Throwable cause) {
        if (held == null || !held.robot.isReplay()) {
            return null;
        }
        // The report is in the output before the mismatched call's answer left dln-sim.
        List<String> mismatches = held.robot.replayMismatches(held.testFrom);
        if (mismatches.isEmpty()) {
            return null;
        }
        held.inTests += mismatches.size();
        held.testFrom = held.robot.output().size();
        return new AssertionError("the replay saw " + mismatches.size()
                + (mismatches.size() == 1 ? " call" : " calls")
                + " unlike the recording here; the first:\n" + mismatches.get(0), cause);
    }

    @Override
    public void afterAll(ExtensionContext context) {
        Held held = held(context);
        if (held == null || !held.robot.isReplay()) {
            return;
        }
        List<String> mismatches = held.robot.replayMismatches();
        if (mismatches.size() == held.inTests && !held.counted()) {
            return;
        }
        held.robot.close(); // its summary line comes as it stops
        throw new AssertionError("the replay saw more calls unlike the recording than its tests"
                + " failed for (in @BeforeAll or @AfterAll, or past the 10 that dln-sim shows): "
                + held.summary() + (mismatches.size() > held.inTests
                        ? "; the first of them:\n" + mismatches.get(held.inTests) : ""));
    }

    private static Held held(ExtensionContext context) {
        return context.getStore(NAMESPACE).get(Held.class, Held.class);
    }

    /** The running simulator in the class's store; JUnit closes it after the class. */
    private static final class Held implements ExtensionContext.Store.CloseableResource {
        final SimRobot robot;
        volatile int testFrom; // the output line where the running test began
        volatile int inTests; // mismatch reports that failed a test

        Held(SimRobot robot) {
            this.robot = robot;
        }

        /** dln-sim only counts mismatches after the 10th: said by this line. */
        boolean counted() {
            return robot.output().stream().anyMatch(l -> l.startsWith("replay: further mismatches"));
        }

        String summary() {
            return robot.output().stream().filter(l -> l.startsWith("replay (")).reduce((a, b) -> b)
                    .orElse("(no summary)");
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
        Held held = held(context);
        if (held == null) {
            throw new ExtensionConfigurationException("no simulator runs for "
                    + context.getRequiredTestClass().getName() + "; annotate it @SimulatedRobot");
        }
        return held.robot;
    }

    /** A scenario or recording as a file: the path itself, or a class-path resource copied out. */
    private static Path file(Class<?> testClass, String what, String name) throws IOException {
        Path path = Path.of(name);
        if (Files.isRegularFile(path)) {
            return path.toAbsolutePath();
        }
        String resource = name.startsWith("/") ? name : "/" + name;
        try (InputStream in = testClass.getResourceAsStream(resource)) {
            if (in == null) {
                throw new ExtensionConfigurationException(what + " " + name
                        + " is neither a file (from " + Path.of("").toAbsolutePath()
                        + ") nor a class-path resource");
            }
            Path copy = Files.createTempFile(what + "-", name.replaceAll(".*/", "-"));
            copy.toFile().deleteOnExit();
            Files.copy(in, copy, StandardCopyOption.REPLACE_EXISTING);
            return copy;
        }
    }
}
