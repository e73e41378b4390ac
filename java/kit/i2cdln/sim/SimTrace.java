package i2cdln.sim;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.function.Predicate;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The adapter calls a {@code dln-sim} answered, read from its {@code --trace} file, for
 * assertions the way a logic analyser shows the bus:
 *
 * <pre>{@code
 * SimTrace trace = robot.trace();
 * assertEquals(List.of(1500), trace.servoPulseWidths(0x51));
 * assertTrue(trace.to(0x50).stream().allMatch(SimTrace.Call::succeeded));
 * }</pre>
 */
public final class SimTrace {
    // "12.000345 DlnI2cMasterWrite port=0 addr=0x50 out=[00 11] in=[..] result=0x00 (name)
    // held=1523us ; note", held only under a latency model
    private static final Pattern LINE = Pattern.compile("(\\d+)\\.(\\d{6}) (\\S+)"
            + "(?: port=(\\d+))?(?: (addr|ss)=0x([0-9a-f]+))?(?: out=\\[([0-9a-f ]*)\\])?"
            + "(?: in=\\[([0-9a-f ]*)\\])? result=0x([0-9a-f]+)(?: \\(([^)]*)\\))?"
            + "(?: held=(\\d+)us)?(?: ; (.*))?");
    private static final Pattern PULSE_WIDTH = Pattern.compile("servo pulse width (\\d+) us");

    // Between two reads of the file while awaiting a condition.
    private static final long POLL_MILLIS = 10;

    private final List<Call> calls;
    private final Path file; // null for parsed lines

    private SimTrace(List<Call> calls, Path file) {
        this.calls = Collections.unmodifiableList(calls);
        this.file = file;
    }

    /**
     * One adapter call as the trace shows it.
     *
     * @param timeMicros when it was answered, in microseconds since the simulator started
     * @param name the C call, such as {@code DlnI2cMasterWrite}
     * @param port the I2C or SPI port, or -1 when the call names none
     * @param address the 7-bit I2C address, the SPI slave-select mask, or -1
     * @param spi true when {@code address} is a slave-select mask
     * @param out the bytes sent
     * @param in the bytes received
     * @param result the result code (below 0x40: success)
     * @param resultName the result's name for a failure, such as "I2C NACK", or ""
     * @param note the device model's decoding, or ""
     * @param heldMicros how long the simulator's latency model held the reply back, in
     *     microseconds (0 without a model)
     */
    public record Call(long timeMicros, String name, int port, int address, boolean spi,
            List<Integer> out, List<Integer> in, int result, String resultName, String note,
            long heldMicros) {
        /**
         * A call answered at once, without a latency model.
         *
         * @param timeMicros when it was answered
         * @param name the C call
         * @param port the port, or -1
         * @param address the address or slave-select mask, or -1
         * @param spi true when {@code address} is a slave-select mask
         * @param out the bytes sent
         * @param in the bytes received
         * @param result the result code
         * @param resultName the result's name for a failure, or ""
         * @param note the device model's decoding, or ""
         */
        public Call(long timeMicros, String name, int port, int address, boolean spi,
                List<Integer> out, List<Integer> in, int result, String resultName, String note) {
            this(timeMicros, name, port, address, spi, out, in, result, resultName, note, 0);
        }

        /**
         * Whether the call succeeded.
         *
         * @return true when the result is below 0x40
         */
        public boolean succeeded() {
            return result < 0x40;
        }
    }

    /**
     * Reads a trace file; a last line still being written is left out.
     *
     * @param file the file given to {@code dln-sim --trace}
     * @return the calls in the order they were answered
     * @throws IOException when the file cannot be read
     * @throws IllegalArgumentException when a complete line is not a trace line
     */
    public static SimTrace read(Path file) throws IOException {
        String text = Files.readString(file, StandardCharsets.UTF_8);
        List<String> lines = new ArrayList<>(List.of(text.split("\n", -1)));
        // The part after the last newline: empty, or a line dln-sim has not finished.
        lines.remove(lines.size() - 1);
        return new SimTrace(parse(lines).calls, file);
    }

    /**
     * Parses trace lines.
     *
     * @param lines the lines, without line ends
     * @return the calls
     * @throws IllegalArgumentException naming the first line that is not a trace line
     */
    public static SimTrace parse(List<String> lines) {
        List<Call> calls = new ArrayList<>();
        for (String line : lines) {
            Matcher m = LINE.matcher(line);
            if (!m.matches()) {
                throw new IllegalArgumentException("not a dln-sim trace line: " + line);
            }
            calls.add(new Call(Long.parseLong(m.group(1)) * 1_000_000 + Long.parseLong(m.group(2)),
                    m.group(3), m.group(4) == null ? -1 : Integer.parseInt(m.group(4)),
                    m.group(6) == null ? -1 : Integer.parseInt(m.group(6), 16),
                    "ss".equals(m.group(5)), bytes(m.group(7)), bytes(m.group(8)),
                    Integer.parseInt(m.group(9), 16), m.group(10) == null ? "" : m.group(10),
                    m.group(12) == null ? "" : m.group(12),
                    m.group(11) == null ? 0 : Long.parseLong(m.group(11))));
        }
        return new SimTrace(calls, null);
    }

    /**
     * Waits until the trace meets a condition, reading the simulator's trace file again every
     * 10 ms: the way to wait for a program's effect without a fixed sleep.
     *
     * <pre>{@code
     * SimTrace stopped = robot.trace().await(
     *         t -> t.notes(0x48).contains("adc: channel 1, dac = 0"), Duration.ofSeconds(3));
     * }</pre>
     *
     * @param condition tested on the whole trace as it stands, each time it is read
     * @param timeout how long to wait at most
     * @return the first trace read that met the condition
     * @throws AssertionError when the timeout passed first, naming it and showing the last
     *     calls seen
     * @throws IOException when the trace file cannot be read
     * @throws InterruptedException when the waiting thread is interrupted
     * @throws IllegalStateException when this trace was parsed from lines or cut by
     *     {@link #since}, not read from a simulator's file
     */
    public SimTrace await(Predicate<SimTrace> condition, Duration timeout)
            throws IOException, InterruptedException {
        if (file == null) {
            throw new IllegalStateException("only a trace read from a simulator's file can wait");
        }
        long deadline = System.nanoTime() + timeout.toNanos();
        SimTrace trace = this;
        while (!condition.test(trace)) {
            if (System.nanoTime() - deadline >= 0) {
                List<Call> all = trace.calls;
                StringBuilder last = new StringBuilder();
                for (Call call : all.subList(Math.max(0, all.size() - 10), all.size())) {
                    last.append("\n  ").append(call);
                }
                throw new AssertionError("the trace did not meet the condition within " + timeout
                        + " (" + all.size() + " calls; the last ones:" + last + ")");
            }
            Thread.sleep(POLL_MILLIS);
            trace = read(file);
        }
        return trace;
    }

    /**
     * The calls made after those of an earlier trace of the same simulator (since it last
     * started): what a step of a test caused.
     *
     * @param earlier a trace read before the step
     * @return the later calls (a part of the trace: it cannot {@link #await})
     */
    public SimTrace since(SimTrace earlier) {
        int from = Math.min(earlier.calls.size(), calls.size());
        return new SimTrace(new ArrayList<>(calls.subList(from, calls.size())), null);
    }

    private static List<Integer> bytes(String hex) {
        List<Integer> values = new ArrayList<>();
        if (hex != null && !hex.isEmpty()) {
            for (String b : hex.split(" ")) {
                values.add(Integer.parseInt(b, 16));
            }
        }
        return Collections.unmodifiableList(values);
    }

    /**
     * Every call, in order.
     *
     * @return the calls
     */
    public List<Call> calls() {
        return calls;
    }

    /**
     * The time the simulator's latency model held the replies of these calls back: what the
     * robot's adapter would have added to them.
     *
     * @return the sum of every call's {@link Call#heldMicros()}; zero without a model
     */
    public Duration modelledTime() {
        return Duration.ofNanos(calls.stream().mapToLong(Call::heldMicros).sum() * 1000);
    }

    /**
     * The calls of one C function.
     *
     * @param name such as {@code DlnI2cMasterRead}
     * @return those calls, in order
     */
    public List<Call> named(String name) {
        return calls.stream().filter(c -> c.name().equals(name)).toList();
    }

    /**
     * The I2C calls addressed to one device, answered or not.
     *
     * @param address the 7-bit address
     * @return those calls, in order
     */
    public List<Call> to(int address) {
        return calls.stream().filter(c -> !c.spi() && c.address() == address).toList();
    }

    /**
     * The device model's notes on the successful calls to one I2C device, such as
     * "servo pulse width 1500 us" or "reg 0x10 = 3c".
     *
     * @param address the 7-bit address
     * @return the notes, in order
     */
    public List<String> notes(int address) {
        return to(address).stream().filter(Call::succeeded).map(Call::note)
                .filter(n -> !n.isEmpty()).toList();
    }

    /**
     * The pulse widths a servo board took, in microseconds: "servo board 0x51 received pulse
     * width 1500" is {@code servoPulseWidths(0x51).contains(1500)}.
     *
     * @param address the servo board's address
     * @return the widths, in order
     */
    public List<Integer> servoPulseWidths(int address) {
        List<Integer> widths = new ArrayList<>();
        for (String note : notes(address)) {
            Matcher m = PULSE_WIDTH.matcher(note);
            if (m.find()) {
                widths.add(Integer.parseInt(m.group(1)));
            }
        }
        return widths;
    }
}
