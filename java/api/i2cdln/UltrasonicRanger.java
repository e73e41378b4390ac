package i2cdln;

/**
 * The ultrasonic ranger board. Safe to share between threads; calls from several threads run
 * at once, each on a session of its own.
 */
public final class UltrasonicRanger {
    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every failure

    UltrasonicRanger(Dln dln, int address) {
        this.dln = dln;
        this.address = address;
        this.device = Dln.i2cName(address);
    }

    /**
     * Measures the range: the temperature (0xF1), then the range's low (0xF4) and high (0xF5)
     * bytes, each a write and a read. Blocks for at least 300 ms: the board protocol waits
     * 100 ms before each. Six adapter calls. Worst case: its native call's bound of 1.3 s (see
     * {@link Dln} on worst-case times).
     *
     * @return the range in centimetres, 0..65535
     * @throws NoDeviceException when the board did not answer
     * @throws NoServerException when no adapter server answers
     */
    public int rangeCm() {
        int[] centimetres = new int[1];
        dln.session().run("UltrasonicRanger.rangeCm", device,
                session -> NativeSession.ultrasonic(session, address, centimetres));
        return centimetres[0];
    }
}
