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
     * adapter connection (9 adapter calls); no waits.
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
     * found, so at most ten are listed. An empty bus and a failed scan look alike to the
     * library; an empty result is therefore checked against the server.
     *
     * @return the addresses that answered, ascending, at most ten
     * @throws NoServerException when nothing was found and no adapter server answers
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
            DlnException failure = dln.failure(Native.I2C_SCAN.javaName, "adapter",
                    "the scan found no device");
            if (failure instanceof NoServerException) {
                throw failure;
            }
        }
        return Collections.unmodifiableList(found);
    }
}
