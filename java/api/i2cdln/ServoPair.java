package i2cdln;

/**
 * Two servo boards driven together. Safe to share between threads.
 *
 * <p>A failed {@link #setPulseWidths} leaves the board whose command failed in doubt (see
 * {@link ServoBoard}): every later call to it throws {@link BoardInDoubtException} until the
 * program has reset it and calls {@link #acknowledgeFailure()}.
 */
public final class ServoPair {
    private final Dln dln;
    private final int first;
    private final int second;
    private final String devices; // formatted once: messages are built on every failure

    ServoPair(Dln dln, int first, int second) {
        this.dln = dln;
        this.first = first;
        this.second = second;
        this.devices = Dln.i2cName(first) + " and " + Dln.i2cName(second);
    }

    /**
     * Whether either board is refused after a failed pulse-width command.
     *
     * @return true until {@link #acknowledgeFailure()}
     */
    public boolean inDoubt() {
        return ServoDoubt.inDoubt(first) || ServoDoubt.inDoubt(second);
    }

    /**
     * Accepts commands to both boards again; call it only once both have been reset, as
     * {@link ServoBoard#acknowledgeFailure()} says.
     */
    public void acknowledgeFailure() {
        ServoDoubt.clear(first);
        ServoDoubt.clear(second);
    }

    /**
     * Sets both boards' pulse widths, the first board first: each board gets the 0xA3 command
     * with its own parameter, then 0xA1 with its width, as
     * {@link ServoBoard#setPulseWidth(int, int)} sends them. No waits: 30 adapter calls. Worst
     * case: twice {@link ServoBoard#setPulseWidth(int, int)}'s.
     *
     * @param firstUs the first board's pulse width, 0..65535 µs
     * @param secondUs the second board's pulse width, 0..65535 µs
     * @param firstParameter the parameter of the first board's 0xA3 command, 0..255
     * @param secondParameter the parameter of the second board's 0xA3 command, 0..255
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws NoDeviceException when a board did not answer; the message names it, it is in
     *     doubt from then on, and when it is the second, the first has taken its width
     * @throws NoServerException when no adapter server answers
     * @throws BoardInDoubtException when an earlier pulse-width command to a board failed
     */
    public void setPulseWidths(int firstUs, int secondUs, int firstParameter, int secondParameter) {
        String method = "ServoPair.setPulseWidths";
        ServoBoard.checkWidth(method, devices, firstUs);
        ServoBoard.checkWidth(method, devices, secondUs);
        ArgumentOutOfRangeException.check(method, devices, "first parameter", firstParameter,
                0, 255);
        ArgumentOutOfRangeException.check(method, devices, "second parameter",
                secondParameter, 0, 255);
        refuseInDoubt(method);
        ServoBoard.pulse(dln, method, Dln.i2cName(first), first, firstUs, firstParameter);
        ServoBoard.pulse(dln, method, Dln.i2cName(second), second, secondUs, secondParameter);
    }

    /**
     * Reads both boards' currents, the first board first. Blocks for at least 400 ms: the
     * board protocol waits 100 ms twice per board. Worst case: twice
     * {@link ServoBoard#current()}'s.
     *
     * @return the two current bytes, first board first, each 0..255
     * @throws NoDeviceException when a board did not answer; the message names it
     * @throws NoServerException when no adapter server answers
     * @throws BoardInDoubtException when an earlier pulse-width command to a board failed
     */
    public int[] currents() {
        String method = "ServoPair.currents";
        refuseInDoubt(method);
        return new int[] {ServoBoard.current(dln, method, Dln.i2cName(first), first),
                ServoBoard.current(dln, method, Dln.i2cName(second), second)};
    }

    private void refuseInDoubt(String method) {
        ServoDoubt.refuse(method, first);
        ServoDoubt.refuse(method, second);
    }
}
