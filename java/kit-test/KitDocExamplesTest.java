import static org.junit.jupiter.api.Assertions.assertEquals;

import examples.Patrol;
import i2cdln.Dln;
import i2cdln.sim.SimRobot;
import java.io.File;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import javax.tools.ToolProvider;
import org.junit.jupiter.api.Test;
import org.junit.platform.launcher.listeners.TestExecutionSummary;

/**
 * The kit's examples, compiled and run as printed with only the imports added: the README's
 * test class, and every example in the kit's Javadoc (test classes run, models answer,
 * statements compile).
 */
class KitDocExamplesTest {
    static final String IMPORTS = "import examples.Patrol;\nimport i2cdln.*;\n"
            + "import i2cdln.sim.*;\nimport java.io.IOException;\nimport java.time.Duration;\n"
            + "import java.util.*;\nimport org.junit.jupiter.api.Test;\n"
            + "import static org.junit.jupiter.api.Assertions.*;\n";
    static final Pattern CODE = Pattern.compile("<pre>\\{@code\\n(.*?)\\n\\s*\\* \\}</pre>",
            Pattern.DOTALL);
    static final Pattern CLASS = Pattern.compile("class (\\w+)");
    static final Path SOURCE = Path.of(System.getProperty("source.dir"));

    @Test
    void theReadmesKitExampleRunsAsPrinted() throws Exception {
        String readme = Files.readString(SOURCE.resolve("README.md"));
        int section = readme.indexOf("### Testing with the simulator (JUnit 5)");
        int start = readme.indexOf("```java\n", section) + "```java\n".length();
        String example = readme.substring(start, readme.indexOf("```", start));
        assertEquals(1, run(Map.of("PatrolTest", example), List.of("PatrolTest"))
                .getTestsSucceededCount());
    }

    @Test
    void theKitsJavadocExamplesRunAsPrinted() throws Exception {
        Map<String, String> sources = new LinkedHashMap<>();
        List<String> tests = new ArrayList<>();
        try (Stream<Path> files = Files.list(SOURCE.resolve("java/kit/i2cdln/sim"))) {
            for (Path file : files.sorted().toList()) {
                Matcher code = CODE.matcher(Files.readString(file));
                while (code.find()) {
                    String example = code.group(1).replaceAll("(?m)^\\s*\\* ?", "");
                    String name = "Example" + sources.size();
                    Matcher type = CLASS.matcher(example);
                    if (type.find()) { // a class of its own
                        name = type.group(1) + sources.size();
                        example = example.replace("class " + type.group(1), "class " + name);
                    } else if (example.startsWith("@SimulatedRobot")) { // a test class's head
                        example += "\nclass " + name + " {\n    @Test\n    void reads() {\n"
                                + "        assertArrayEquals(new int[] {21, 128},"
                                + " Dln.create().i2c(0x49).readRegisters(0, 2));\n    }\n}\n";
                    } else { // statements in a test
                        example = "class " + name + " {\n    void run(SimRobot robot) throws"
                                + " Exception {\n" + example + "\n    }\n}\n";
                    }
                    sources.put(name, example.replace("Thermometer.class", "Thermometer0.class"));
                    if (example.contains("@SimulatedRobot")) {
                        tests.add(name);
                    }
                }
            }
        }
        assertEquals("Thermometer0", sources.keySet().iterator().next(),
                "the I2C model's example comes first: the others attach it");
        assertEquals(3, tests.size(), tests::toString);
        assertEquals(3, run(sources, tests).getTestsSucceededCount(), sources::toString);
    }

    /** Compiles the sources (by class name) and runs the named test classes. */
    static TestExecutionSummary run(Map<String, String> sources, List<String> tests)
            throws Exception {
        Path dir = Files.createTempDirectory("kit-examples");
        List<String> arguments = new ArrayList<>(List.of("-d", dir.toString(), "-cp",
                // Our class path as the JUnit console's loader sees it (not java.class.path).
                Stream.of(Dln.class, SimRobot.class, Patrol.class, Test.class)
                        .map(c -> c.getProtectionDomain().getCodeSource().getLocation().getPath())
                        .distinct().collect(Collectors.joining(File.pathSeparator))));
        for (Map.Entry<String, String> source : sources.entrySet()) {
            Path file = dir.resolve(source.getKey() + ".java");
            Files.writeString(file, IMPORTS + source.getValue());
            arguments.add(file.toString());
        }
        assertEquals(0, ToolProvider.getSystemJavaCompiler().run(null, null, null,
                arguments.toArray(String[]::new)), sources::toString);
        try (URLClassLoader loader = new URLClassLoader(new URL[] {dir.toUri().toURL()},
                KitDocExamplesTest.class.getClassLoader())) {
            List<Class<?>> classes = new ArrayList<>();
            for (String test : tests) {
                classes.add(loader.loadClass(test));
            }
            TestExecutionSummary summary = KitFixtures.run(classes.toArray(Class<?>[]::new));
            summary.getFailures().forEach(f -> f.getException().printStackTrace());
            return summary;
        }
    }
}
