package i2cdln;

/**
 * One servo board: its pulse width and its current. Safe to share between threads; calls from
 * several threads run at once, each on a session of its own.
 *
 * <p>The board takes a command byte by byte: after 0xA1 the next two bytes are a pulse width,
 * after 0xA3 the next byte is a parameter. A pulse-width command that fails part-way can leave
 * it waiting for the rest, and it would then read the next command's bytes (even the current
 * command 0xA2) as a width. So after such a failure the board is in doubt: every later call to
 * it, from any object of this process, throws {@link BoardInDoubtException} without touching the
 * bus, until the program has reset the board and calls {@link #acknowledgeFailure()}. A failure
 * whose result code says that nothing reached the adapter (0x40 not connected, 0x41 invalid
 * handle, 0x47 connection failed) leaves the board as it was.
 */
public final class ServoBoard {
    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every failure

    ServoBoard(Dln dln, int address) {
        this.dln = dln;
        this.address = address;
        this.device = Dln.i2cName(address);
    }

    /**
     * The board's address.
     *
     * @return the 7-bit address
     */
    public int address() {
        return address;
    }

    /**
     * Whether the board is refused after a failed pulse-width command.
     *
     * @return true until {@link #acknowledgeFailure()}
     */
    public boolean inDoubt() {
        return ServoDoubt.inDoubt(address);
    }

    /**
     * Accepts commands to the board again after a failed pulse-width command. Call it only once
     * the board has been reset (power or reset line), so that it waits for a command again:
     * nothing the library can send brings it back safely.
     */
    public void acknowledgeFailure() {
        ServoDoubt.clear(address);
    }

    static void checkWidth(String method, String device, int microseconds) {
        ArgumentOutOfRangeException.check(method, device, "pulse width (us)",
                microseconds, 0, 0xFFFF);
    }

    /**
     * Sets the pulse width: the 0xA3 command with the parameter, then 0xA1 with the width's
     * high and low byte, each byte in an exchange of a write and two reads. No waits: 15
     * adapter calls. Every failed exchange is an exception, and leaves the board in doubt (see
     * the class). Worst case: its native call's bound of 1 s (see {@link Dln} on worst-case
     * times).
     *
     * @param microseconds the pulse width, 0..65535 µs (1500 is the middle of a servo's travel)
     * @param parameter the parameter byte sent with the 0xA3 command, 0..255
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws NoDeviceException when the board did not answer; it is in doubt from then on
     * @throws NoServerException when no adapter server answers
     * @throws BoardInDoubtException when an earlier pulse-width command to the board failed
     */
    public void setPulseWidth(int microseconds, int parameter) {
        String method = "ServoBoard.setPulseWidth";
        checkWidth(method, device, microseconds);
        ArgumentOutOfRangeException.check(method, device, "parameter", parameter, 0, 255);
        ServoDoubt.refuse(method, address);
        pulse(dln, method, device, address, microseconds, parameter);
    }

    /** One board's pulse-width command; a failure marks the board in doubt and is thrown. */
    static void pulse(Dln dln, String method, String device, int address, int microseconds,
            int parameter) {
        int[] steps = new int[1];
        Session session = dln.session();
        // Made again on a fresh session only when nothing of the command went out.
        Session.Outcome outcome = session.attempt(method, device, handle -> {
            steps[0] = 0;
            return NativeSession.servoPulse(handle, address, microseconds, parameter, steps);
        }, () -> steps[0] == 0);
        if (!outcome.ok()) {
            DlnException failure = session.failure(method, device, outcome);
            ServoDoubt.mark(address, steps[0] == 0 ? outcome.code() : ResultCodes.FAIL, failure);
            throw failure;
        }
    }

    /**
     * Reads the current the board draws: the one-byte command 0xA2, then its reply; three
     * adapter calls. Blocks for at least 200 ms: the board protocol waits 100 ms twice. Worst
     * case: its native call's bound of 1.4 s (see {@link Dln} on worst-case times). The current
     * command is one byte, so a failure here leaves the board waiting
     * for a command.
     *
     * @return the current byte, 0..255, unscaled
     * @throws NoDeviceException when the board did not answer
     * @throws NoServerException when no adapter server answers
     * @throws BoardInDoubtException when an earlier pulse-width command to the board failed
     */
    public int current() {
        String method = "ServoBoard.current";
        ServoDoubt.refuse(method, address);
        return current(dln, method, device, address);
    }

    static int current(Dln dln, String method, String device, int address) {
        int[] current = new int[1];
        dln.session().run(method, device,
                session -> NativeSession.servoCurrent(session, address, current));
        return current[0];
    }
}
