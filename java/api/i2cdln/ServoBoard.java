package i2cdln;

/**
 * One servo board: its pulse width and its current. Calls open their own adapter connection
 * and may run from several threads at once.
 *
 * <p>The board takes a command byte by byte: after 0xA1 the next two bytes are a pulse width,
 * after 0xA3 the next byte is a parameter. A pulse-width command that fails part-way can leave
 * it waiting for the rest, and it would then read the next command's bytes (even the current
 * command 0xA2) as a width. So after such a failure, seen while the adapter server answers, the
 * board is in doubt: every later call to it, from any object of this process, throws
 * {@link BoardInDoubtException} without touching the bus, until the program has reset the board
 * and calls {@link #acknowledgeFailure()}. A failure while no server answers leaves the board
 * as it was (the connection failed before the command, or the server went away with it).
 */
public final class ServoBoard {
    // Parameter slots are input and output: with this bit set they still hold the input, so
    // the first exchange never completed. The board receives only the low 8 bits; the
    // library's echo line of the slot ("Dual Servo: i=6 Data=263 : 107") shows the bit.
    static final int UNTOUCHED = 0x100;

    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every call

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
     * Sets the pulse width ({@code dualServo_1500_PWM} with one board: the 0xA3 command with the
     * parameter, then 0xA1 with the width). No waits: five exchanges, 23 adapter calls.
     *
     * <p>Only a failure of the connection or of the first exchange is observable: the library
     * stores a reply after each exchange in the same slot, so a board that stops answering after
     * the first exchange looks like success. Use {@link ServoPair}, whose result is complete,
     * or read the current, where a confirmation matters. The library's echo of slot 6 shows
     * the parameter with bit 8 set (263 for 7): the mark this method reads the outcome by. An
     * observed failure leaves the board in doubt (see the class).
     *
     * <p>Worst case: the native method's bound, plus {@value Dln#PROBE_BOUND_MS} ms for the
     * server probe after a failure.
     *
     * @param microseconds the pulse width, 0..65535 µs (1500 is the middle of a servo's travel)
     * @param parameter the parameter byte sent with the 0xA3 command, 0..255
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws NoDeviceException when the board did not answer its first exchange
     * @throws NoServerException when no adapter server answers
     * @throws BoardInDoubtException when an earlier pulse-width command to the board failed
     */
    public void setPulseWidth(int microseconds, int parameter) {
        String method = Native.DUAL_SERVO_PWM.javaName;
        checkWidth(method, device, microseconds);
        ArgumentOutOfRangeException.check(method, device, "parameter", parameter,
                0, 255);
        ServoDoubt.refuse(method, address);
        int[] slots = new int[255];
        slots[0] = address;
        slots[2] = microseconds >> 8;
        slots[3] = microseconds & 0xFF;
        slots[6] = parameter | UNTOUCHED;
        Native.DUAL_SERVO_PWM.call(slots);
        if (slots[6] >= UNTOUCHED) {
            DlnException failure = dln.failure(method, device,
                    "setting the pulse width failed at the first exchange");
            ServoDoubt.mark(address, failure);
            throw failure;
        }
    }

    /**
     * Reads the current the board draws ({@code dualServo_1500_Current} with one board). Blocks
     * for at least 200 ms: the board protocol waits 100 ms twice. Worst case: the native
     * method's bound, plus {@value Dln#PROBE_BOUND_MS} ms for the server probe after a failure.
     * The current command is one byte, so a failure here leaves the board waiting for a command.
     *
     * @return the current byte, 0..255, unscaled
     * @throws NoDeviceException when the board did not answer
     * @throws NoServerException when no adapter server answers
     * @throws BoardInDoubtException when an earlier pulse-width command to the board failed
     */
    public int current() {
        ServoDoubt.refuse(Native.DUAL_SERVO_CURRENT.javaName, address);
        int[] slots = new int[255];
        slots[0] = address;
        slots[6] = -1;
        Native.DUAL_SERVO_CURRENT.call(slots);
        if (slots[6] < 0) {
            throw dln.failure(Native.DUAL_SERVO_CURRENT.javaName, device,
                    "reading the current failed");
        }
        return slots[6];
    }
}
