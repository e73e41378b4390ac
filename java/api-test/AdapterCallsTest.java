import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;

/**
 * The adapter calls of each typed call on an open session, read from dln-sim's trace against
 * the default robot (the rows of the README's table, counted by java/bench/TypedCallCounts):
 * a raw transfer is one adapter call, a board call exactly its protocol's transfers. The
 * expected counts are in adapter_calls.tsv; "*" marks a count that follows the sensor's or the
 * chip's timing (polls while it measures or writes), checked only to be above zero.
 */
public class AdapterCallsTest {
    public static void child() throws Exception {
        TypedCallCounts.main(new String[] {System.getProperty("trace")});
    }

    @Test
    void eachTypedCallMakesExactlyItsProtocolsAdapterCalls() throws Exception {
        Path trace = Files.createTempFile("typed-calls", ".trace");
        NativeRun run;
        try (SimServer sim = SimServer.start(null, trace)) {
            run = NativeRun.run("AdapterCallsTest#child", Path.of("."),
                    List.of("-Dtrace=" + trace));
        } finally {
            Files.delete(trace);
        }
        assertEquals(0, run.exitCode, run.stderr);
        Map<String, String> expected = table(Files.readString(Path.of(
                System.getProperty("source.dir"), "java/api-test/adapter_calls.tsv")));
        Map<String, String> counted = table(run.stderr.lines().filter(line -> line.contains("\t"))
                .collect(java.util.stream.Collectors.joining("\n")));
        assertEquals(expected.keySet(), counted.keySet(), run.stderr);
        expected.forEach((call, calls) -> {
            if (calls.equals("*")) {
                assertTrue(Integer.parseInt(counted.get(call)) > 0, call);
            } else {
                assertEquals(calls, counted.get(call), call + " (all: " + counted + ")");
            }
        });
    }

    /** "call<TAB>count" lines as a map, in order. */
    static Map<String, String> table(String text) {
        Map<String, String> rows = new LinkedHashMap<>();
        text.lines().filter(line -> !line.isBlank() && !line.startsWith("#"))
                .map(line -> line.split("\t")).forEach(cells -> rows.put(cells[0], cells[1]));
        return rows;
    }
}
