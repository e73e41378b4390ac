import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/** A dln-sim process on the library's fixed port, started for a test and stopped on close. */
public final class SimServer implements AutoCloseable {
    private final Process process;
    private final List<String> output = new ArrayList<>();
    private Thread drain;

    private SimServer(Process process) {
        this.process = process;
    }

    /** Starts dln-sim with an optional scenario and trace file and waits until it listens. */
    public static SimServer start(Path scenario, Path trace) throws IOException {
        List<String> command = new ArrayList<>();
        command.add(System.getProperty("dlnsim.path"));
        if (scenario != null) {
            command.add("--scenario");
            command.add(scenario.toString());
        }
        if (trace != null) {
            command.add("--trace");
            command.add(trace.toString());
        }
        Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
        SimServer server = new SimServer(process);
        server.awaitReady();
        return server;
    }

    public static SimServer start() throws IOException {
        return start(null, null);
    }

    private void awaitReady() throws IOException {
        BufferedReader reader = new BufferedReader(
                new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8));
        long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(10);
        String line;
        while ((line = reader.readLine()) != null) {
            synchronized (output) {
                output.add(line);
            }
            if (line.contains("listening")) {
                break;
            }
            if (System.nanoTime() > deadline) {
                break;
            }
        }
        if (line == null || !line.contains("listening")) {
            process.destroyForcibly();
            throw new IOException("dln-sim did not start: " + output);
        }
        drain = new Thread(() -> {
            try {
                String more;
                while ((more = reader.readLine()) != null) {
                    synchronized (output) {
                        output.add(more);
                    }
                }
            } catch (IOException ignored) {
                // the process ended
            }
        });
        drain.setDaemon(true);
        drain.start();
    }

    /** What dln-sim printed so far (its standard output and error). */
    public List<String> output() {
        synchronized (output) {
            return new ArrayList<>(output);
        }
    }

    /** The server's process id, for looking at its descriptors and memory. */
    public long pid() {
        return process.pid();
    }

    /** Kills the server at once, as a crash would. */
    public void kill() throws InterruptedException {
        process.destroyForcibly();
        process.waitFor(10, TimeUnit.SECONDS);
    }

    /** Sends a signal to the server ("STOP", "CONT", "KILL"), as an operator would. */
    public void signal(String name) throws IOException, InterruptedException {
        Process kill = new ProcessBuilder("kill", "-" + name, String.valueOf(process.pid()))
                .inheritIO().start();
        if (kill.waitFor() != 0) {
            throw new IOException("kill -" + name + " " + process.pid() + " failed");
        }
    }

    /** Stops the server as an operator would (SIGTERM) and returns its exit status once all
     * it printed has been read. */
    public int stop() throws IOException, InterruptedException {
        // Not destroy(): it closes our end of the pipes, losing the server's last lines.
        signal("TERM");
        if (!process.waitFor(10, TimeUnit.SECONDS)) {
            process.destroyForcibly();
            process.waitFor(10, TimeUnit.SECONDS);
        }
        drain.join(10_000);
        return process.exitValue();
    }

    @Override
    public void close() {
        process.destroy();
        try {
            if (!process.waitFor(10, TimeUnit.SECONDS)) {
                process.destroyForcibly();
                process.waitFor(10, TimeUnit.SECONDS);
            }
        } catch (InterruptedException e) {
            // Closing must not be skipped; kill the server and keep the interrupt for the caller.
            process.destroyForcibly();
            Thread.currentThread().interrupt();
        }
    }
}
