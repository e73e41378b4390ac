import i2cdln.Dln;
import java.io.IOException;
import java.io.RandomAccessFile;
import java.nio.charset.StandardCharsets;

/**
 * Counts the adapter calls of each typed call of the README's table in dln-sim's trace and
 * prints "row<TAB>calls" lines on standard error (a row prints the adapter's description on
 * standard output): each row is called once to warm up (so the typed API's session is
 * open and the laser set up, as in a running program), then once counted. Run it against
 * {@code dln-sim --trace TRACE} (the default robot). Usage: java TypedCallCounts TRACE
 */
public final class TypedCallCounts {
    private TypedCallCounts() {}

    public static void main(String[] args) throws IOException {
        try (RandomAccessFile trace = new RandomAccessFile(args[0], "r")) {
            for (TypedCallTimes.Row row : TypedCallTimes.rows(Dln.create())) {
                row.call().run();
                long before = settled(trace);
                row.call().run();
                long after = settled(trace);
                trace.seek(before);
                byte[] added = new byte[(int) (after - before)];
                trace.readFully(added);
                long calls = new String(added, StandardCharsets.UTF_8).lines().count();
                System.err.println(row.name() + "\t" + calls);
            }
        }
    }

    /** The trace's length once dln-sim has written every line of the calls made so far. */
    private static long settled(RandomAccessFile trace) throws IOException {
        long length = trace.length();
        for (int unchanged = 0; unchanged < 5; unchanged++) {
            try {
                Thread.sleep(20);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                break;
            }
            if (trace.length() != length) {
                length = trace.length();
                unchanged = 0;
            }
        }
        return length;
    }
}
