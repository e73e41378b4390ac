import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.TimeUnit;

/**
 * Runs native calls in a child JVM so that a test sees exactly what the library printed on
 * standard output. The child runs a public static method named "Class#method"; it reports its
 * own findings on standard error through {@link #report}, keeping standard output the library's.
 */
public final class NativeRun {
    public final String stdout;
    public final String stderr;
    public final int exitCode;

    private NativeRun(String stdout, String stderr, int exitCode) {
        this.stdout = stdout;
        this.stderr = stderr;
        this.exitCode = exitCode;
    }

    public static NativeRun run(String classAndMethod) throws IOException, InterruptedException {
        return run(classAndMethod, Path.of(System.getProperty("java.io.tmpdir")));
    }

    public static NativeRun run(String classAndMethod, Path workDir)
            throws IOException, InterruptedException {
        return run(classAndMethod, workDir, List.of());
    }

    /** As above, with extra options for the child JVM (such as -Xcheck:jni). */
    public static NativeRun run(String classAndMethod, Path workDir, List<String> jvmOptions)
            throws IOException, InterruptedException {
        String classPath = System.getProperty("classes.dir") + java.io.File.pathSeparator
                + System.getProperty("java.class.path");
        List<String> command = new ArrayList<>(List.of(
                Path.of(System.getProperty("java.home"), "bin", "java").toString()));
        command.addAll(jvmOptions);
        command.addAll(List.of(
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                // Test classes read these in their static set-up, also in the child.
                "-Dsource.dir=" + System.getProperty("source.dir", ""),
                "-Ddlnsim.path=" + System.getProperty("dlnsim.path", ""),
                "-cp", classPath, "NativeRun", classAndMethod));
        Path out = Files.createTempFile("native-out", ".txt");
        Path err = Files.createTempFile("native-err", ".txt");
        try {
            Process process = new ProcessBuilder(command).directory(workDir.toFile())
                    .redirectOutput(out.toFile()).redirectError(err.toFile()).start();
            if (!process.waitFor(120, TimeUnit.SECONDS)) {
                process.destroyForcibly();
                throw new IOException(classAndMethod + " did not finish within 120 s");
            }
            return new NativeRun(Files.readString(out, StandardCharsets.ISO_8859_1),
                    Files.readString(err, StandardCharsets.ISO_8859_1), process.exitValue());
        } finally {
            Files.deleteIfExists(out);
            Files.deleteIfExists(err);
        }
    }

    /** The lines the child reported with the given key, e.g. "slots". */
    public List<String> reported(String key) {
        List<String> values = new ArrayList<>();
        for (String line : stderr.split("\n")) {
            if (line.startsWith(key + "=")) {
                values.add(line.substring(key.length() + 1));
            }
        }
        return values;
    }

    /** The first reported int array with the given key. */
    public int[] reportedInts(String key) {
        List<String> values = reported(key);
        if (values.isEmpty()) {
            throw new AssertionError("nothing reported as " + key + "; stderr was:\n" + stderr);
        }
        String text = values.get(0);
        return text.isEmpty() ? new int[0]
                : Arrays.stream(text.split(",")).mapToInt(Integer::parseInt).toArray();
    }

    /** In the child: reports a value on standard error. */
    public static void report(String key, Object value) {
        System.err.println(key + "=" + value);
        System.err.flush();
    }

    /** In the child: reports an int array. */
    public static void report(String key, int[] values) {
        StringBuilder text = new StringBuilder();
        for (int i = 0; i < values.length; i++) {
            text.append(i == 0 ? "" : ",").append(values[i]);
        }
        report(key, text.toString());
    }

    /** The child's entry point. */
    public static void main(String[] args) throws Exception {
        String[] parts = args[0].split("#");
        Class.forName(parts[0]).getMethod(parts[1]).invoke(null);
        System.out.flush();
    }
}
