package i2cdln;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/** The adapter: its description and the devices on its I2C bus. Safe to share between threads. */
public final class Adapter {
    private static final String DEVICE = "adapter";

    private final Dln dln;

    Adapter(Dln dln) {
        this.dln = dln;
    }

    /**
     * The adapter's description: its type and versions and the devices on the I2C bus, as
     * {@link #printDescription()} prints it. One adapter call for the versions (answered by the
     * server) and one bus scan. Worst case: two native calls of a 1 s bound each (see
     * {@link Dln} on worst-case times).
     *
     * @return two lines: "adapter DLN-4M: hardware version 0x1000000, firmware 0x70000, server
     *     0x30100, library 0x40200"
     *     and "I2C devices: 0x29 0x30" (or "I2C devices: none")
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the adapter could not report itself
     */
    public String description() {
        int[] version = new int[5];
        dln.session().run("Adapter.description", DEVICE,
                session -> NativeSession.version(session, version));
        StringBuilder text = new StringBuilder(String.format(
                "adapter %s: hardware version %#x, firmware %#x, server %#x, library %#x%n",
                typeName(version[0]), version[1], version[2], version[3], version[4]));
        text.append("I2C devices:");
        List<Integer> found = scan("Adapter.description");
        if (found.isEmpty()) {
            text.append(" none");
        }
        found.forEach(address -> text.append(String.format(" 0x%02x", address)));
        return text.toString();
    }

    /**
     * Prints {@link #description()} on {@code System.out}. Worst case: as
     * {@link #description()}.
     *
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the adapter could not report itself
     */
    public void printDescription() {
        System.out.println(description());
    }

    /**
     * Scans the I2C bus: one adapter call. Worst case: its native call's bound of 1 s (see
     * {@link Dln} on worst-case times).
     *
     * @return the addresses that answered, ascending; empty when the bus has no device
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the scan failed, with its result code
     */
    public List<Integer> scan() {
        return scan("Adapter.scan");
    }

    private List<Integer> scan(String method) {
        int[] addresses = new int[128];
        int[] count = new int[1];
        dln.session().run(method, DEVICE,
                session -> NativeSession.scan(session, addresses, count));
        List<Integer> found = new ArrayList<>();
        for (int i = 0; i < count[0]; i++) {
            found.add(addresses[i]);
        }
        return Collections.unmodifiableList(found);
    }

    /** The adapter types of dln_api.h by their hardware type. */
    private static String typeName(int hardwareType) {
        return switch (hardwareType) {
            case 0x0100 -> "DLN-1";
            case 0x0200 -> "DLN-2";
            case 0x0300 -> "DLN-3";
            case 0x0401 -> "DLN-4M";
            case 0x0402 -> "DLN-4S";
            default -> String.format("of type 0x%04x", hardwareType);
        };
    }
}
