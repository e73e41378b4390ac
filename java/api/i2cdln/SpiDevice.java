package i2cdln;

import java.util.Arrays;

/**
 * A device on one SPI slave-select line, with the mode and clock frequency of its transfers.
 * Safe to share between threads. The adapter's SPI port keeps the mode, frequency and selected
 * line between calls, and the EEPROM commands use what the last transfer left; so all SPI calls
 * of this process are serialised through one lock. No call waits on purpose: a transfer costs
 * its adapter round trips only (13 adapter calls).
 */
public final class SpiDevice {
    /** The most bytes one transfer carries. */
    public static final int MAX_TRANSFER = 247;
    static final Object PORT_LOCK = new Object();
    // The library sends the low 8 bits; a slot still carrying this bit was never replaced by a
    // received byte, so the call ended before the transfer.
    private static final int UNTOUCHED = 0x100;

    private final Dln dln;
    private final int line;
    private final int mode;
    private final int frequencyHz;
    private final String device; // formatted once: messages are built on every call

    SpiDevice(Dln dln, int line, int mode, int frequencyHz) {
        String method = Native.SPI_WRITE_READ.javaName;
        String device = "SPI line " + line;
        ArgumentOutOfRangeException.check(method, device, "slave-select line", line, 0, 3);
        ArgumentOutOfRangeException.check(method, device, "SPI mode", mode, 0, 3);
        ArgumentOutOfRangeException.check(method, device, "frequency (Hz)", frequencyHz, 1,
                Integer.MAX_VALUE);
        this.dln = dln;
        this.line = line;
        this.mode = mode;
        this.frequencyHz = frequencyHz;
        this.device = device;
    }

    /**
     * The slave-select line.
     *
     * @return 0..3
     */
    public int line() {
        return line;
    }

    /**
     * One full-duplex transfer: sends the bytes and returns those received meanwhile.
     *
     * <p>A transfer that failed after the connection hands back zeros, as the library does; a
     * device sending zeros looks the same, so that failure is not detected here (check a known
     * reply, such as an identification, where it matters).
     *
     * <p>Worst case: the wait for the process's SPI lock (another thread's SPI calls, an EEPROM
     * programming included), then the native method's bound, plus {@value Dln#PROBE_BOUND_MS} ms
     * for the server probe after a failure.
     *
     * @param bytes the bytes to send, 1 to 247 of them, each 0..255
     * @return the bytes received, as many as sent
     * @throws ArgumentOutOfRangeException when the count or a byte is outside its range
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the adapter could not be used for the transfer
     */
    public int[] transfer(int... bytes) {
        String method = Native.SPI_WRITE_READ.javaName;
        ArgumentOutOfRangeException.check(method, device, "byte count", bytes.length, 1,
                MAX_TRANSFER);
        int[] slots = new int[8 + bytes.length];
        slots[0] = bytes.length;
        slots[1] = mode & 1;
        slots[2] = mode >> 1;
        slots[3] = line;
        for (int i = 0; i < 4; i++) {
            slots[4 + i] = frequencyHz >>> (8 * i) & 0xFF;
        }
        for (int i = 0; i < bytes.length; i++) {
            ArgumentOutOfRangeException.check(method, device, "byte " + i, bytes[i], 0, 255);
            slots[8 + i] = bytes[i] | UNTOUCHED;
        }
        synchronized (PORT_LOCK) {
            Native.SPI_WRITE_READ.call(slots);
        }
        if (slots[8] >= UNTOUCHED) {
            DlnException failure = dln.failure(method, device,
                    "the adapter connection failed before the transfer");
            if (failure instanceof NoServerException) {
                throw failure;
            }
            // The server is there, yet the adapter could not be opened: not a device matter.
            throw new DlnException(method, device,
                    "the adapter connection failed before the transfer");
        }
        return Arrays.copyOfRange(slots, 8, 8 + bytes.length);
    }
}
