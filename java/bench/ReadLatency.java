import java.util.Arrays;

/**
 * Times raw reads (8 bytes from the register device at 0x50) one by one and prints their
 * median and 99th percentile in microseconds: "median_us p99_us". Usage: java ReadLatency
 * COUNT. Used by scripts/live_page_latency.sh to compare runs with and without the live page.
 */
public final class ReadLatency {
    private ReadLatency() {}

    public static void main(String[] args) {
        int count = Integer.parseInt(args[0]);
        long[] times = new long[count];
        int[] slots = new int[255];
        for (int i = -count / 5; i < count; i++) { // the first fifth warms up
            slots[0] = 0x50;
            slots[1] = 8;
            long start = System.nanoTime();
            I2C_DLN.read(slots);
            long took = System.nanoTime() - start;
            if (i >= 0) {
                times[i] = took;
            }
        }
        Arrays.sort(times);
        System.err.printf("%.1f %.1f%n", times[count / 2] / 1e3, times[count * 99 / 100] / 1e3);
    }
}
