import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;

/**
 * Several Java threads calling raw I2C and board methods at once against dln-sim: each call
 * must get the bytes of its own transfers. Each raw thread owns one register device and reads
 * back what it just wrote there, so a reply from another device or another call shows.
 */
public class ConcurrencyTest {
    static final Path SCENARIO = Path.of(System.getProperty("source.dir"),
            "java/test/scenarios/concurrent_devices.json");
    static final long RUN_MILLIS = 4000;
    static final AtomicInteger calls = new AtomicInteger();

    static void report(String what) {
        synchronized (ConcurrencyTest.class) {
            NativeRun.report("mismatch", what);
        }
    }

    /** Writes a pattern at register 0x10 of its device and reads it back, until time is up. */
    static void rawThread(int address, long deadline) {
        for (int round = 0; System.currentTimeMillis() < deadline; round++) {
            int[] pattern = {address, round & 0xFF, (round >> 8) & 0xFF, 0x5A ^ address};
            int[] write = new int[255];
            write[0] = address;
            write[1] = 5;
            write[2] = 0x10;
            System.arraycopy(pattern, 0, write, 3, 4);
            I2C_DLN.write(write);
            int[] pointer = new int[255];
            pointer[0] = address;
            pointer[1] = 1;
            pointer[2] = 0x10;
            I2C_DLN.write(pointer);
            int[] read = new int[255];
            read[0] = address;
            read[1] = 4;
            I2C_DLN.read(read);
            calls.addAndGet(3);
            for (int i = 0; i < 4; i++) {
                if (read[2 + i] != pattern[i]) {
                    report(String.format("device 0x%x round %d byte %d: %d instead of %d",
                            address, round, i, read[2 + i], pattern[i]));
                    break;
                }
            }
        }
    }

    /** The ADC/DAC board: the four inputs of the scenario on every call. */
    static void boardThread(long deadline) {
        int[] inputs = {0x3A, 0x7F, 0xC4, 0x12};
        for (int round = 0; System.currentTimeMillis() < deadline; round++) {
            int[] slots = new int[255];
            slots[0] = 0x48;
            slots[1] = round & 0xFF;
            I2C_DLN.adcsdac(slots);
            calls.incrementAndGet();
            for (int i = 0; i < 4; i++) {
                if (slots[2 + i] != inputs[i]) {
                    report("ADC round " + round + " channel " + i + ": " + slots[2 + i]);
                    break;
                }
            }
            int[] current = new int[255];
            current[0] = 0x51;
            I2C_DLN.dualServo_1500_Current(current);
            calls.incrementAndGet();
            if (current[6] != 0x2C) {
                report("servo current round " + round + ": " + current[6]);
            }
        }
    }

    public static void child() throws Exception {
        long deadline = System.currentTimeMillis() + RUN_MILLIS;
        List<Thread> threads = new ArrayList<>();
        for (int address : new int[] {0x20, 0x50, 0x68}) {
            threads.add(new Thread(() -> rawThread(address, deadline)));
        }
        threads.add(new Thread(() -> boardThread(deadline)));
        for (Thread thread : threads) {
            thread.start();
        }
        for (Thread thread : threads) {
            thread.join();
        }
        NativeRun.report("threads", threads.size());
        NativeRun.report("calls", calls.get());
    }

    @Test
    void threadsCallingAtOnceEachGetTheirOwnReplies() throws Exception {
        NativeRun run;
        try (SimServer sim = SimServer.start(SCENARIO, null)) {
            run = NativeRun.run("ConcurrencyTest#child");
        }
        assertEquals(0, run.exitCode, run.stderr);
        assertEquals(List.of(), run.reported("mismatch"));
        assertEquals("4", run.reported("threads").get(0), run.stderr);
        int total = Integer.parseInt(run.reported("calls").get(0));
        assertTrue(total > 200, "only " + total + " calls in " + RUN_MILLIS + " ms");
        // A failed transfer or connect would print its line; none may.
        assertTrue(!run.stdout.contains("ailed"), "a call failed");
        System.out.println("concurrency: " + total + " calls");
    }
}
