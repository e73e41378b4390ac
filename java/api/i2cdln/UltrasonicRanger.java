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
     * bytes, each in an exchange of a write and two reads. Blocks for at least 300 ms: the
     * board protocol waits 100 ms before each exchange. Worst case: those waits and 9 adapter
     * calls of up to 2 s each, plus the opening of a session (about 1 s) when none is open.
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
