import java.io.IOException;
import java.io.PrintWriter;
import java.io.RandomAccessFile;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;

/**
 * Times the native methods against a running dln-sim. Run it with standard output sent to a
 * file or /dev/null: the library prints a lot there, as it would to a user's pipe.
 *
 * <pre>
 *   java Bench count TRACE OUTDIR   one call per case; its lines of dln-sim's trace file go to
 *                                   OUTDIR/NAME.trace, the counts to OUTDIR/count.tsv
 *   java Bench time OUTDIR [SCALE]  repeated calls per case; times added to OUTDIR/time.tsv
 * </pre>
 *
 * The working directory receives program.hex (a full 64 KiB image) and the library's zz.dat.
 */
public final class Bench {
    private Bench() {}

    public static void main(String[] args) throws Exception {
        writeProgramHex(Path.of("program.hex"));
        List<BenchCase> cases = BenchCase.all();
        if (args.length >= 3 && args[0].equals("count")) {
            count(cases, Path.of(args[1]), Path.of(args[2]));
        } else if (args.length >= 2 && args[0].equals("time")) {
            double scale = args.length > 2 ? Double.parseDouble(args[2]) : 1.0;
            time(cases, Path.of(args[1]), scale);
        } else {
            System.err.println("usage: Bench count TRACE OUTDIR | Bench time OUTDIR [SCALE]");
            System.exit(2);
        }
        System.out.flush();
    }

    /** Every address 0..0xFFFF with a byte of its own, so that every page is programmed. */
    static void writeProgramHex(Path path) throws IOException {
        StringBuilder text = new StringBuilder(65536 * 8);
        for (int address = 0; address < 65536; address++) {
            text.append(Integer.toHexString(address)).append(' ')
                    .append(Integer.toHexString((address * 7 + 3) & 0xFF)).append('\n');
        }
        Files.writeString(path, text.toString(), StandardCharsets.US_ASCII);
    }

    /**
     * Calls per case after its set-up: the trace lines the first call added are its adapter
     * calls; the gaps between successive calls of all of them show any stall.
     */
    static void count(List<BenchCase> cases, Path trace, Path outDir) throws Exception {
        try (RandomAccessFile file = new RandomAccessFile(trace.toFile(), "r");
                PrintWriter table = new PrintWriter(Files.newBufferedWriter(
                        outDir.resolve("count.tsv"), StandardCharsets.UTF_8))) {
            table.println("case\tcalls\tmaxGapUs\tp99GapUs");
            for (BenchCase c : cases) {
                if (!c.setUp()) {
                    System.err.println(c.name + ": not available, skipped");
                    continue;
                }
                List<Long> gaps = new ArrayList<>();
                List<String> first = null;
                for (int run = 0; run < Math.max(3, c.reps / 20); run++) {
                    file.seek(file.length());
                    c.call();
                    List<String> lines = newLines(file);
                    first = first == null ? lines : first;
                    gaps.addAll(gapsUs(lines));
                }
                Files.write(outDir.resolve(c.name + ".trace"), first, StandardCharsets.UTF_8);
                Collections.sort(gaps);
                long max = gaps.isEmpty() ? 0 : gaps.get(gaps.size() - 1);
                long p99 = gaps.isEmpty() ? 0
                        : gaps.get(Math.min(gaps.size() - 1, (int) Math.ceil(gaps.size() * 0.99) - 1));
                table.println(c.name + "\t" + first.size() + "\t" + max + "\t" + p99);
                System.err.println(c.name + ": " + first.size() + " adapter calls");
            }
        }
    }

    private static List<String> newLines(RandomAccessFile file) throws IOException {
        byte[] bytes = new byte[(int) (file.length() - file.getFilePointer())];
        file.readFully(bytes);
        String text = new String(bytes, StandardCharsets.UTF_8);
        return text.isEmpty() ? List.of() : Arrays.asList(text.split("\n"));
    }

    /** The times between successive calls the server saw, in microseconds. */
    static List<Long> gapsUs(List<String> lines) {
        List<Long> gaps = new ArrayList<>();
        long previous = -1;
        for (String line : lines) {
            String seconds = line.substring(0, line.indexOf(' '));
            long us = Math.round(Double.parseDouble(seconds) * 1e6);
            if (previous >= 0) {
                gaps.add(us - previous);
            }
            previous = us;
        }
        return gaps;
    }

    /** Warm-up, then timed calls; median, 99th percentile and maximum per case. */
    static void time(List<BenchCase> cases, Path outDir, double scale) throws Exception {
        // Each run adds its rows, so that several runs can be compared.
        Path out = outDir.resolve("time.tsv");
        boolean fresh = !Files.exists(out);
        try (PrintWriter table = new PrintWriter(Files.newBufferedWriter(out,
                StandardCharsets.UTF_8, StandardOpenOption.CREATE, StandardOpenOption.APPEND))) {
            if (fresh) {
                table.println("case\treps\tmedianUs\tp99Us\tmaxUs");
            }
            for (BenchCase c : cases) {
                if (!c.setUp()) {
                    continue;
                }
                int reps = Math.max(5, (int) (c.reps * scale));
                // Until the JIT has settled: a tenth of the calls, and at least half a second.
                long warmUntil = System.nanoTime() + 500_000_000L;
                for (int i = 0; i < Math.max(2, reps / 10) || System.nanoTime() < warmUntil; i++) {
                    c.call();
                }
                long[] us = new long[reps];
                for (int i = 0; i < reps; i++) {
                    long start = System.nanoTime();
                    c.call();
                    us[i] = (System.nanoTime() - start) / 1000;
                }
                Arrays.sort(us);
                long p99 = us[Math.min(reps - 1, (int) Math.ceil(reps * 0.99) - 1)];
                table.println(c.name + "\t" + reps + "\t" + us[reps / 2] + "\t" + p99 + "\t"
                        + us[reps - 1]);
                System.err.printf("%s: median %d us, p99 %d us over %d calls%n", c.name,
                        us[reps / 2], p99, reps);
            }
        }
        typedAgainstRaw(outDir, Math.max(50, (int) (400 * scale)));
    }

    /**
     * The typed API's read against the raw native read, alternating call for call so that both
     * meet the same moments of a shared machine; adds a row to OUTDIR/typed.tsv.
     */
    static void typedAgainstRaw(Path outDir, int reps) throws IOException {
        long[] raw = new long[reps];
        long[] typed = new long[reps];
        for (int i = -reps / 10; i < reps; i++) { // the first tenth warms up
            // Each goes first every other time, so neither always follows the other.
            boolean rawFirst = (i & 1) == 0;
            long start = System.nanoTime();
            if (rawFirst) {
                I2C_DLN.read(BenchCase.slots(0x50, 8));
            } else {
                BenchCase.TYPED_DEVICE.read(8);
            }
            long middle = System.nanoTime();
            if (rawFirst) {
                BenchCase.TYPED_DEVICE.read(8);
            } else {
                I2C_DLN.read(BenchCase.slots(0x50, 8));
            }
            long end = System.nanoTime();
            if (i >= 0) {
                raw[i] = rawFirst ? middle - start : end - middle;
                typed[i] = rawFirst ? end - middle : middle - start;
            }
        }
        Arrays.sort(raw);
        Arrays.sort(typed);
        double rawUs = raw[reps / 2] / 1000.0;
        double typedUs = typed[reps / 2] / 1000.0;
        Path out = outDir.resolve("typed.tsv");
        String head = Files.exists(out) ? "" : "pairs\trawMedianUs\ttypedMedianUs\tadded\n";
        String row = String.format("%d\t%.1f\t%.1f\t%+.1f%%%n", reps, rawUs, typedUs,
                100 * (typedUs - rawUs) / rawUs);
        Files.writeString(out, head + row, StandardCharsets.UTF_8, StandardOpenOption.CREATE,
                StandardOpenOption.APPEND);
        System.err.print("typed read against raw read: " + row);
    }
}
