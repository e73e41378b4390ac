package i2cdln.sim;

import i2cdln.ServerAddress;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/**
 * A running {@code dln-sim}: its address, what it printed and the trace of every adapter call
 * it answered. Started by {@link SimulatedRobotExtension} for a test class, or by a program
 * with {@link #start}; {@link #close()} stops it. Safe to use from several threads.
 */
public final class SimRobot implements AutoCloseable {
    private static final long READY_SECONDS = 10;

    private final Path program;
    private final Path scenario;
    private final String latency;
    private final Address address;
    private final Path trace;
    private final List<String> output = new ArrayList<>();
    private final Thread shutdownHook;
    private Process process;

    private SimRobot(Path program, Path scenario, String latency, Address address, Path trace) {
        this.program = program;
        this.scenario = scenario;
        this.latency = latency;
        this.address = address;
        this.trace = trace;
        this.shutdownHook = new Thread(this::kill, "dln-sim stopper");
    }

    /**
     * Starts {@code dln-sim} and waits until it listens.
     *
     * @param program the {@code dln-sim} executable
     * @param scenario the scenario file, or null for the default robot
     * @param address where it listens
     * @return the running simulator, tracing into a temporary file
     * @throws IOException when it cannot be started or does not get ready within 10 s; the
     *     message holds what it printed (a port in use, a bad scenario)
     */
    public static SimRobot start(Path program, Path scenario, Address address) throws IOException {
        return start(program, scenario, "", address);
    }

    /**
     * Starts {@code dln-sim} with a latency preset and waits until it listens.
     *
     * @param program the {@code dln-sim} executable
     * @param scenario the scenario file, or null for the default robot
     * @param latency {@code "robot"} or {@code "none"} ({@code dln-sim --latency}), or "" for
     *     the scenario's own {@code adapter.latency}
     * @param address where it listens
     * @return the running simulator, tracing into a temporary file
     * @throws IOException when it cannot be started or does not get ready within 10 s; the
     *     message holds what it printed (a port in use, a bad scenario, a bad preset)
     */
    public static SimRobot start(Path program, Path scenario, String latency, Address address)
            throws IOException {
        Path trace = Files.createTempFile("dln-sim-trace-", ".txt");
        SimRobot robot = new SimRobot(program, scenario, latency, address, trace);
        try {
            robot.launch();
        } catch (IOException | RuntimeException e) {
            Files.deleteIfExists(trace);
            throw e;
        }
        Runtime.getRuntime().addShutdownHook(robot.shutdownHook);
        return robot;
    }

    /**
     * The {@code dln-sim} executable: the system property {@code dlnsim.path}, else the
     * environment variable {@code DLNSIM_PATH}, else {@code dln-sim} found on the {@code PATH}.
     *
     * @return the path to run
     */
    public static Path program() {
        String path = System.getProperty("dlnsim.path");
        if (path == null || path.isEmpty()) {
            path = System.getenv("DLNSIM_PATH");
        }
        return Path.of(path == null || path.isEmpty() ? "dln-sim" : path);
    }

    private synchronized void launch() throws IOException {
        List<String> command = new ArrayList<>(List.of(program.toString(),
                "--port", String.valueOf(address.port()), "--bind", address.bindHost(),
                "--trace", trace.toString()));
        if (scenario != null) {
            command.add("--scenario");
            command.add(scenario.toString());
        }
        if (!latency.isEmpty()) {
            command.add("--latency");
            command.add(latency);
        }
        Process started = new ProcessBuilder(command).redirectErrorStream(true).start();
        BufferedReader reader = new BufferedReader(
                new InputStreamReader(started.getInputStream(), StandardCharsets.UTF_8));
        // Reads on its own thread, so that a simulator that prints nothing cannot block us
        // beyond the deadline.
        Object ready = new Object();
        boolean[] listening = {false};
        Thread drain = new Thread(() -> {
            try {
                String line;
                while ((line = reader.readLine()) != null) {
                    synchronized (output) {
                        output.add(line);
                    }
                    if (line.contains("listening")) {
                        synchronized (ready) {
                            listening[0] = true;
                            ready.notifyAll();
                        }
                    }
                }
            } catch (IOException ended) {
                // the process ended; its exit shows in the wait below
            }
            synchronized (ready) {
                ready.notifyAll();
            }
        }, "dln-sim output");
        drain.setDaemon(true);
        drain.start();
        long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(READY_SECONDS);
        synchronized (ready) {
            while (!listening[0] && started.isAlive() && System.nanoTime() < deadline) {
                try {
                    ready.wait(100);
                } catch (InterruptedException e) {
                    started.destroyForcibly();
                    Thread.currentThread().interrupt();
                    throw new IOException("interrupted while dln-sim started", e);
                }
            }
        }
        if (!listening[0]) {
            started.destroyForcibly();
            throw new IOException("dln-sim did not start on " + address + ": " + output());
        }
        process = started;
    }

    /**
     * Where the simulator listens.
     *
     * @return its host and port
     */
    public Address address() {
        return address;
    }

    /**
     * The simulator's process id.
     *
     * @return the id, also after it stopped
     */
    public synchronized long pid() {
        return process.pid();
    }

    /**
     * Whether the simulator's process still runs.
     *
     * @return true while it runs
     */
    public synchronized boolean isRunning() {
        return process.isAlive();
    }

    /**
     * What the simulator printed so far (standard output and error, line by line).
     *
     * @return a copy of the lines
     */
    public List<String> output() {
        synchronized (output) {
            return new ArrayList<>(output);
        }
    }

    /**
     * The trace of every adapter call answered so far, since the simulator (re)started.
     *
     * @return the calls, read from the trace file now
     * @throws IOException when the trace file cannot be read
     */
    public SimTrace trace() throws IOException {
        return SimTrace.read(trace);
    }

    /**
     * The time the latency model (see {@link SimulatedRobot#latency()}) added to the adapter
     * calls answered so far: how much slower than on loopback they ran, as on the robot.
     *
     * @return the held time of every call in the trace; zero without a model
     * @throws IOException when the trace file cannot be read
     */
    public Duration modelledTime() throws IOException {
        return trace().modelledTime();
    }

    /**
     * Stops the simulator and starts it again with the same scenario and address, as an
     * operator restarting the adapter server would; the trace starts afresh.
     *
     * @throws IOException when it does not start again
     */
    public synchronized void restart() throws IOException {
        stopProcess();
        launch();
    }

    private synchronized void stopProcess() {
        // SIGTERM: dln-sim stops cleanly and prints its fault count.
        process.destroy();
        try {
            if (!process.waitFor(10, TimeUnit.SECONDS)) {
                process.destroyForcibly();
                process.waitFor(10, TimeUnit.SECONDS);
            }
        } catch (InterruptedException e) {
            process.destroyForcibly();
            Thread.currentThread().interrupt();
        }
    }

    private synchronized void kill() {
        if (process != null) {
            process.destroyForcibly();
        }
    }

    /** Stops the simulator (within 10 s, then forcibly) and deletes its trace file. */
    @Override
    public synchronized void close() {
        try {
            stopProcess();
        } finally {
            try {
                Runtime.getRuntime().removeShutdownHook(shutdownHook);
            } catch (IllegalStateException shuttingDown) {
                // the hook runs or ran already
            }
            try {
                Files.deleteIfExists(trace);
            } catch (IOException ignored) {
                // a temporary file; the system cleans it up
            }
        }
    }

    /**
     * The address a simulator listens on.
     *
     * @param host the host name or address our {@code dln} connects to
     * @param port the TCP port, 1..65535
     */
    public record Address(String host, int port) {
        /** The library's fixed address, used when {@code DLN_SERVER} is unset. */
        public static final Address FIXED =
                new Address(ServerAddress.FIXED_HOST, ServerAddress.FIXED_PORT);

        /**
         * The address our {@code dln} reaches in this JVM: {@code DLN_SERVER}'s, else
         * localhost:9656, by the rule of {@link ServerAddress#fromEnvironment()}.
         *
         * @return the address
         * @throws IllegalArgumentException when {@code DLN_SERVER} is malformed (our
         *     {@code dln} then refuses to connect at all)
         */
        public static Address fromEnvironment() {
            ServerAddress server = ServerAddress.fromEnvironment();
            return new Address(server.host(), server.port());
        }

        /**
         * Parses "host:port", "[v6-address]:port" or "port" (host localhost), as our
         * {@code dln} reads {@code DLN_SERVER} ({@link ServerAddress#parse}).
         *
         * @param text the value
         * @return the address
         * @throws IllegalArgumentException when the text is malformed
         */
        public static Address parse(String text) {
            ServerAddress server = ServerAddress.parse(text);
            return new Address(server.host(), server.port());
        }

        /** The address dln-sim binds: "localhost" means the IPv4 loopback. */
        String bindHost() {
            return host.equals("localhost") ? "127.0.0.1" : host;
        }

        @Override
        public String toString() {
            return new ServerAddress(host, port).toString();
        }
    }
}
