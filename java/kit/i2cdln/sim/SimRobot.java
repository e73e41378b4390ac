package i2cdln.sim;

import i2cdln.ServerAddress;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.net.URI;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * A running {@code dln-sim}: its address, what it printed and the trace of every adapter call
 * it answered; its {@link #world()} to change while a program runs; the Java device models
 * {@linkplain #attach attached} to its buses. Started by {@link SimulatedRobotExtension} for a
 * test class, or by a program with {@link #start} (or {@link #replay}); {@link #close()} stops
 * it. Safe to use from several threads.
 */
public final class SimRobot implements AutoCloseable {
    private static final long READY_SECONDS = 10;
    private static final Pattern LIVE_PAGE = Pattern.compile("dln-sim: live page on (http://\\S+/)");
    private static final Pattern PROVIDERS =
            Pattern.compile("dln-sim: device providers on 127\\.0\\.0\\.1:(\\d+)");

    /**
     * How long dln-sim waits for a Java device model's answer before it fails the transfer
     * (0x4F, with the note "no answer within 500 ms"): generous, so that a loaded machine's
     * pauses never fail a test's transfer, yet within the typed API's 1 s bound of a transfer,
     * so that the program sees the device fail rather than the server go quiet.
     */
    public static final Duration MODEL_TIMEOUT = Duration.ofMillis(500);
    // dln-sim.exe has no live page (it refuses --http).
    private static final boolean LIVE_PAGE_BUILT =
            !System.getProperty("os.name", "").startsWith("Windows");

    private final Path program;
    private final Path scenario;
    private final String latency;
    private final Replay replay;
    private final Address address;
    private final Path trace;
    private final Path outputFile;
    private final Thread shutdownHook;
    private List<String> finalOutput; // once closed
    private Process process;
    private SimWorld world;
    private final AttachedModels models = new AttachedModels();

    /** A recording to answer from, strictly in order or leniently. */
    private record Replay(Path recording, boolean lenient) {}

    private SimRobot(Path program, Path scenario, String latency, Replay replay, Address address,
            Path trace, Path outputFile) {
        this.program = program;
        this.scenario = scenario;
        this.latency = latency;
        this.replay = replay;
        this.address = address;
        this.trace = trace;
        this.outputFile = outputFile;
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
        return begin(program, scenario, latency, null, address);
    }

    /**
     * Starts {@code dln-sim} answering from a recording made on the robot
     * ({@code dln-sim --replay}) and waits until it listens. It has no trace (the recording is
     * the trace) and no live page; {@link #replayMismatches()} tells what did not match.
     *
     * @param program the {@code dln-sim} executable
     * @param recording the recording file ({@code run.jsonl})
     * @param lenient false: each call must be the next recorded one; true: a call takes the
     *     first unused recorded call with the same arguments, wherever it stands
     * @param address where it listens
     * @return the running simulator
     * @throws IOException when it cannot be started or does not get ready within 10 s; the
     *     message holds what it printed (such as the recording's bad line)
     */
    public static SimRobot replay(Path program, Path recording, boolean lenient, Address address)
            throws IOException {
        return begin(program, null, "", new Replay(recording, lenient), address);
    }

    private static SimRobot begin(Path program, Path scenario, String latency, Replay replay,
            Address address) throws IOException {
        Path trace = Files.createTempFile("dln-sim-trace-", ".txt");
        Path output = Files.createTempFile("dln-sim-output-", ".txt");
        SimRobot robot = new SimRobot(program, scenario, latency, replay, address, trace, output);
        try {
            robot.launch();
        } catch (IOException | RuntimeException e) {
            Files.deleteIfExists(trace);
            Files.deleteIfExists(output);
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

    private List<String> command() {
        List<String> command = new ArrayList<>(List.of(program.toString(),
                "--port", String.valueOf(address.port()), "--bind", address.bindHost()));
        if (replay != null) {
            command.addAll(List.of("--replay", replay.recording().toString()));
            if (replay.lenient()) {
                command.add("--replay-lenient");
            }
            return command;
        }
        command.addAll(List.of("--trace", trace.toString()));
        if (scenario != null) {
            command.addAll(List.of("--scenario", scenario.toString()));
        }
        if (!latency.isEmpty()) {
            command.addAll(List.of("--latency", latency));
        }
        if (LIVE_PAGE_BUILT) {
            command.addAll(List.of("--http", "0"));
        }
        command.addAll(List.of("--providers", "0"));
        return command;
    }

    private synchronized void launch() throws IOException {
        // Its output goes to a file, not a pipe: what dln-sim wrote before it answered a call
        // (a replay's mismatch report) is there for us once the call has returned.
        int from = readOutput().size();
        Process started = new ProcessBuilder(command()).redirectErrorStream(true)
                .redirectOutput(ProcessBuilder.Redirect.appendTo(outputFile.toFile())).start();
        long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(READY_SECONDS);
        List<String> lines = List.of();
        boolean listening = false;
        while (!listening && System.nanoTime() - deadline < 0) {
            lines = readOutput();
            listening = ready(lines.subList(from, lines.size()));
            if (!listening) {
                if (!started.isAlive()) {
                    lines = readOutput(); // its last words, written before it ended
                    break;
                }
                try {
                    Thread.sleep(10);
                } catch (InterruptedException e) {
                    started.destroyForcibly();
                    Thread.currentThread().interrupt();
                    throw new IOException("interrupted while dln-sim started", e);
                }
            }
        }
        if (!listening) {
            started.destroyForcibly();
            throw new IOException("dln-sim did not start on " + address + ": "
                    + lines.subList(from, lines.size()));
        }
        process = started;
        world = null;
        int providerPort = 0;
        for (String line : lines.subList(from, lines.size())) {
            Matcher page = LIVE_PAGE.matcher(line);
            if (page.matches()) {
                world = new SimWorld(URI.create(page.group(1)));
            }
            Matcher providers = PROVIDERS.matcher(line);
            if (providers.matches()) {
                providerPort = Integer.parseInt(providers.group(1));
            }
        }
        models.serveOn(providerPort);
    }

    /** Listening, and with the live page's line when it serves one (it follows). */
    private boolean ready(List<String> lines) {
        boolean listening = lines.stream().anyMatch(line -> line.contains("listening"));
        boolean page = replay != null || !LIVE_PAGE_BUILT
                || lines.stream().anyMatch(line -> LIVE_PAGE.matcher(line).matches());
        return listening && page;
    }

    private List<String> readOutput() throws IOException {
        // Not readString: a byte that is no UTF-8 must not hide the rest.
        String text = new String(Files.readAllBytes(outputFile), StandardCharsets.UTF_8);
        List<String> lines = new ArrayList<>(List.of(text.split("\n", -1)));
        lines.remove(lines.size() - 1); // empty, or a line not finished yet
        return lines;
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
    public synchronized List<String> output() {
        if (finalOutput != null) {
            return new ArrayList<>(finalOutput);
        }
        try {
            return readOutput();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /**
     * The trace of every adapter call answered so far, since the simulator (re)started.
     *
     * @return the calls, read from the trace file now
     * @throws IOException when the trace file cannot be read
     */
    public SimTrace trace() throws IOException {
        if (replay != null) {
            throw new IllegalStateException("a replay writes no trace: the recording "
                    + replay.recording() + " is the trace");
        }
        return SimTrace.read(trace);
    }

    /**
     * Changes the world while the test runs (device settings, faults) and reads its state,
     * through the simulator's live page.
     *
     * @return the world of the simulator as it runs now (a new one after {@link #restart()})
     * @throws IllegalStateException for a replay, or a {@code dln-sim} without a live page
     *     (the Windows build)
     */
    public synchronized SimWorld world() {
        if (world == null) {
            throw new IllegalStateException(replay != null
                    ? "a replay answers from its recording: it has no world to change"
                    : "this dln-sim serves no live page (the Windows build has none)");
        }
        return world;
    }

    /**
     * The reports of a replay's calls that did not match the recording, in order: each the
     * report {@code dln-sim} printed, from its "replay: " line to its last indented line.
     * dln-sim shows the first 10 in full and only counts later ones.
     *
     * @return the reports so far; empty for a simulator that is no replay
     */
    public List<String> replayMismatches() {
        return replayMismatches(0);
    }

    boolean isReplay() {
        return replay != null;
    }

    /** The mismatch reports among the output's lines from a line on. */
    List<String> replayMismatches(int fromLine) {
        List<String> reports = new ArrayList<>();
        if (replay == null) {
            return reports;
        }
        List<String> lines = output();
        StringBuilder report = null;
        for (String line : lines.subList(Math.min(fromLine, lines.size()), lines.size())) {
            if (report != null && line.startsWith("  ")) {
                report.append('\n').append(line);
                continue;
            }
            if (report != null) {
                reports.add(report.toString());
                report = null;
            }
            if (line.startsWith("replay: ") && line.contains("it fails with 0x4F")) {
                report = new StringBuilder(line);
            }
        }
        if (report != null) {
            reports.add(report.toString());
        }
        return reports;
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
     * A Java device model attached to the simulator; closing it takes the device off the bus.
     */
    public interface Attachment extends AutoCloseable {
        /**
         * The model that answers.
         *
         * @return the model given to {@link #attach} or {@link #attachSpi}
         */
        DeviceModel model();

        /** Takes the device off the bus: its transfers fail from now on as with no device. */
        @Override
        void close();
    }

    /**
     * Puts a device written in Java on the I2C bus: from now on (until the attachment is
     * closed or the simulator stops) the program's transfers at the address reach the model,
     * the trace and the live page show it (model {@code external}, named by
     * {@link DeviceModel#name()}), and a scan finds it. It stays attached across
     * {@link #restart()}.
     *
     * @param i2cAddress the 7-bit address, 0..127, free in the scenario or declared there as an
     *     external device of the model's name
     * @param model the model; its methods are called on a thread of the kit, one at a time
     * @return the attachment, to take the device off the bus again
     * @throws IllegalArgumentException when dln-sim refuses the address, with its reason (a
     *     device of the scenario is there)
     * @throws IOException when dln-sim cannot be reached
     */
    public synchronized Attachment attach(int i2cAddress, I2cDeviceModel model) throws IOException {
        return attach("i2c", i2cAddress, model);
    }

    /**
     * Puts a device written in Java on an SPI slave-select line, as {@link #attach} does on
     * I2C.
     *
     * @param line the line, 0..3
     * @param model the model
     * @return the attachment, to take the device off the bus again
     * @throws IllegalArgumentException when dln-sim refuses the line, with its reason
     * @throws IOException when dln-sim cannot be reached
     */
    public synchronized Attachment attachSpi(int line, SpiDeviceModel model) throws IOException {
        return attach("spi", line, model);
    }

    private Attachment attach(String claim, int number, DeviceModel model) throws IOException {
        return models.add(claim, number, model, replay != null
                ? "a replay answers from its recording: it takes no device models"
                : "this dln-sim printed no provider port: it takes no device models");
    }

    /**
     * The attached model of a class, such as one that {@link SimDevice} made for the test
     * class: to look at what the program did to it, or to change what it answers.
     *
     * @param <T> the model's type
     * @param type the model's class
     * @return the first attached model of that class
     * @throws IllegalArgumentException when none is attached
     */
    public <T extends DeviceModel> T model(Class<T> type) {
        return models.model(type);
    }

    /**
     * Stops the simulator and starts it again with the same scenario and address, as an
     * operator restarting the adapter server would; the trace starts afresh.
     *
     * @throws IOException when it does not start again
     */
    public synchronized void restart() throws IOException {
        models.disconnect();
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

    /**
     * Stops the simulator (within 10 s, then forcibly) and deletes its trace file; what it
     * printed stays readable through {@link #output()}. Closing again does nothing.
     */
    @Override
    public synchronized void close() {
        if (finalOutput != null) {
            return;
        }
        try {
            models.closeAll();
            stopProcess();
            try {
                finalOutput = readOutput();
            } catch (IOException e) {
                finalOutput = List.of("(the output could not be read: " + e + ")");
            }
        } finally {
            try {
                Runtime.getRuntime().removeShutdownHook(shutdownHook);
            } catch (IllegalStateException shuttingDown) {
                // the hook runs or ran already
            }
            try {
                Files.deleteIfExists(trace);
                Files.deleteIfExists(outputFile);
            } catch (IOException ignored) {
                // temporary files; the system cleans them up
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
