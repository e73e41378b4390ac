package i2cdln;

/**
 * Two servo boards driven by one call, whose outcome the library reports completely. Calls
 * open their own adapter connection and may run from several threads at once.
 *
 * <p>A failed {@link #setPulseWidths} while the server answers leaves the boards it may have
 * reached in doubt: the first board when it failed at its first exchange, else both (the slots
 * do not show at which byte it stopped). Every later call to such a board throws
 * {@link BoardInDoubtException} until the program has reset it and calls
 * {@link #acknowledgeFailure()} (see {@link ServoBoard}).
 */
public final class ServoPair {
    private final Dln dln;
    private final int first;
    private final int second;
    private final String devices; // formatted once: messages are built on every call

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
     * Sets both boards' pulse widths ({@code dualServo_1500_PWM}): the first board receives
     * 0xA3 with each parameter and its width, the second board its width. No waits: ten
     * exchanges, 38 adapter calls. Worst case: the native method's bound, plus
     * {@value Dln#PROBE_BOUND_MS} ms for the server probe after a failure.
     *
     * @param firstUs the first board's pulse width, 0..65535 µs
     * @param secondUs the second board's pulse width, 0..65535 µs
     * @param firstParameter the parameter of the first 0xA3 command, 0..255
     * @param secondParameter the parameter of the second 0xA3 command, 0..255
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws NoDeviceException when a board did not answer; the first board may have taken its
     *     width; the boards it may have reached are in doubt from then on
     * @throws NoServerException when no adapter server answers
     * @throws BoardInDoubtException when an earlier pulse-width command to a board failed
     */
    public void setPulseWidths(int firstUs, int secondUs, int firstParameter, int secondParameter) {
        String method = Native.DUAL_SERVO_PWM.javaName;
        ServoBoard.checkWidth(method, devices, firstUs);
        ServoBoard.checkWidth(method, devices, secondUs);
        ArgumentOutOfRangeException.check(method, devices, "first parameter", firstParameter,
                0, 255);
        ArgumentOutOfRangeException.check(method, devices, "second parameter",
                secondParameter, 0, 255);
        refuseInDoubt(method);
        int[] slots = new int[255];
        slots[0] = first;
        slots[1] = second;
        slots[2] = firstUs >> 8;
        slots[3] = firstUs & 0xFF;
        slots[4] = secondUs >> 8;
        slots[5] = secondUs & 0xFF;
        slots[6] = firstParameter | ServoBoard.UNTOUCHED;
        slots[7] = secondParameter;
        slots[8] = -1; // written only when every exchange completed
        Native.DUAL_SERVO_PWM.call(slots);
        if (slots[8] < 0) {
            boolean atFirstExchange = slots[6] >= ServoBoard.UNTOUCHED;
            DlnException failure = dln.failure(method, devices, atFirstExchange
                    ? "setting the pulse widths failed at the first board's first exchange"
                    : "setting the pulse widths failed after the first board's first exchange");
            ServoDoubt.mark(first, failure);
            if (!atFirstExchange) { // the slots do not show which board the failure hit
                ServoDoubt.mark(second, failure);
            }
            throw failure;
        }
    }

    /**
     * Reads both boards' currents ({@code dualServo_1500_Current}). Blocks for at least 400 ms:
     * the board protocol waits 100 ms twice per board. Worst case: the native method's bound,
     * plus {@value Dln#PROBE_BOUND_MS} ms for the server probe after a failure.
     *
     * @return the two current bytes, first board first, each 0..255
     * @throws NoDeviceException when a board did not answer
     * @throws NoServerException when no adapter server answers
     * @throws BoardInDoubtException when an earlier pulse-width command to a board failed
     */
    public int[] currents() {
        refuseInDoubt(Native.DUAL_SERVO_CURRENT.javaName);
        int[] slots = new int[255];
        slots[0] = first;
        slots[1] = second;
        slots[6] = -1; // the first board's current
        slots[8] = -1; // set to 0 once both boards answered
        Native.DUAL_SERVO_CURRENT.call(slots);
        if (slots[8] != 0) {
            int failed = slots[6] < 0 ? first : second;
            throw dln.failure(Native.DUAL_SERVO_CURRENT.javaName, Dln.i2cName(failed),
                    "reading the current failed");
        }
        return new int[] {slots[6], slots[7]};
    }

    private void refuseInDoubt(String method) {
        ServoDoubt.refuse(method, first);
        ServoDoubt.refuse(method, second);
    }
}
