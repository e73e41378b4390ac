package i2cdln;

/**
 * A device on one SPI slave-select line, with the mode and clock frequency of its transfers.
 * Safe to share between threads. The adapter's SPI port keeps its mode, frequency and selected
 * line between calls; the native side sets all three for each transfer under one lock of the
 * process, so transfers of threads on different lines never get each other's bytes. No call
 * waits on purpose.
 */
public final class SpiDevice {
    /** The most bytes one transfer carries. */
    public static final int MAX_TRANSFER = 256;
    /** Held by EEPROM sequences whose commands must follow each other on the port. */
    static final Object PORT_LOCK = new Object();

    private final Dln dln;
    private final int line;
    private final int mode;
    private final int frequencyHz;
    private final String device; // formatted once: messages are built on every failure

    SpiDevice(Dln dln, int line, int mode, int frequencyHz) {
        String method = "SpiDevice";
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
     * One full-duplex transfer: sends the bytes and returns those received meanwhile. Every
     * failure is an exception; bytes are handed back only from a transfer that worked.
     *
     * <p>Four adapter calls: the line, mode and frequency set, then the transfer. Worst case:
     * the wait for the process's SPI lock (another thread's transfer or EEPROM command), then
     * its native call's bound of 1 s (see {@link Dln} on worst-case times).
     *
     * @param bytes the bytes to send, 1 to 256 of them, each 0..255
     * @return the bytes received, as many as sent
     * @throws ArgumentOutOfRangeException when the count or a byte is outside its range
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the transfer failed, with its result code
     */
    public int[] transfer(int... bytes) {
        String method = "SpiDevice.transfer";
        ArgumentOutOfRangeException.check(method, device, "byte count", bytes.length, 1,
                MAX_TRANSFER);
        byte[] data = new byte[bytes.length];
        for (int i = 0; i < bytes.length; i++) {
            data[i] = (byte) ArgumentOutOfRangeException.check(method, device, "byte " + i,
                    bytes[i], 0, 255);
        }
        dln.session().run(method, device, session ->
                NativeSession.spiTransfer(session, line, mode, frequencyHz, data, data.length));
        int[] received = new int[data.length];
        for (int i = 0; i < data.length; i++) {
            received[i] = data[i] & 0xFF;
        }
        return received;
    }
}
