package i2cdln;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/** The adapter: its description and the devices on its I2C bus. Safe to share between threads. */
public final class Adapter {
    private static final int NO_SERVER = 38; // print's return when no server answered

    private final Dln dln;

    Adapter(Dln dln) {
        this.dln = dln;
    }

    /**
     * Has the library print the adapter's description (type, versions, ports, the devices on
     * the bus) on its standard output; the native method hands none of it to Java. Takes one
     * adapter connection (9 adapter calls); no waits. Worst case: the native method's bound.
     *
     * @throws NoServerException when no adapter server answered ({@code print} returned 38)
     */
    public void printDescription() {
        if (Native.PRINT.call() == NO_SERVER) {
            throw new NoServerException(Native.PRINT.javaName, "adapter",
                    "no adapter server answered");
        }
    }

    /**
     * Scans the I2C bus. The native method scans twice and hands back the first ten addresses
     * found, so at most ten are listed. A failed scan hands back no address at all, just as an
     * empty bus would, and the native method takes nothing in that could mark it; so a scan
     * that found nothing is reported as a failure, never as an empty list. Worst case: two
     * adapter connections of 9 adapter calls each: the native method's bound, plus {@value
     * Dln#PROBE_BOUND_MS} ms for the server probe after a failure.
     *
     * @return the addresses that answered, ascending, one to ten of them
     * @throws NoServerException when nothing was found and no adapter server answers
     * @throws NoDeviceException when nothing was found though the server answers: a failed
     *     scan, or a bus without any device
     */
    public List<Integer> scan() {
        int[] slots = new int[10];
        Native.I2C_SCAN.call(slots);
        List<Integer> found = new ArrayList<>();
        for (int address : slots) {
            if (address == 0) {
                break;
            }
            found.add(address);
        }
        if (found.isEmpty()) {
            throw dln.failure(Native.I2C_SCAN.javaName, "adapter",
                    "the scan found no device (a failed scan and an empty bus look alike)");
        }
        return Collections.unmodifiableList(found);
    }
}
