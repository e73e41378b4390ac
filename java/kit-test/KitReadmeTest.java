import static org.junit.jupiter.api.Assertions.assertEquals;

import examples.Patrol;
import i2cdln.Dln;
import i2cdln.sim.SimRobot;
import java.io.File;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import javax.tools.ToolProvider;
import org.junit.jupiter.api.Test;
import org.junit.platform.launcher.listeners.TestExecutionSummary;

/** The README's kit example, compiled and run as printed, with only the imports added. */
class KitReadmeTest {
    static final String IMPORTS = "import examples.Patrol;\nimport i2cdln.Dln;\n"
            + "import i2cdln.sim.*;\nimport java.time.Duration;\nimport org.junit.jupiter.api.Test;\n";

    @Test
    void theKitExampleRunsAsPrinted() throws Exception {
        String readme = Files.readString(Path.of(System.getProperty("source.dir"), "README.md"));
        int section = readme.indexOf("### Testing with the simulator (JUnit 5)");
        int start = readme.indexOf("```java\n", section) + "```java\n".length();
        String example = readme.substring(start, readme.indexOf("```", start));
        Path dir = Files.createTempDirectory("readme-example");
        Path source = dir.resolve("PatrolTest.java");
        Files.writeString(source, IMPORTS + example);
        // Our class path as the JUnit console's loader sees it (not java.class.path).
        String classPath = Stream.of(Dln.class, SimRobot.class, Patrol.class, Test.class)
                .map(c -> c.getProtectionDomain().getCodeSource().getLocation().getPath())
                .distinct().collect(Collectors.joining(File.pathSeparator));
        assertEquals(0, ToolProvider.getSystemJavaCompiler().run(null, null, null,
                "-d", dir.toString(), "-cp", classPath, source.toString()), example);

        TestExecutionSummary summary;
        try (URLClassLoader loader = new URLClassLoader(new URL[] {dir.toUri().toURL()},
                KitReadmeTest.class.getClassLoader())) {
            summary = KitFixtures.run(loader.loadClass("PatrolTest"));
        }
        assertEquals(1, summary.getTestsSucceededCount(), () -> summary.getFailures().isEmpty()
                ? "no test ran" : summary.getFailures().get(0).getException().toString());
    }
}
