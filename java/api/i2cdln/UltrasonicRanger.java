package i2cdln;

/**
 * The ultrasonic ranger board. Calls open their own adapter connection and may run from
 * several threads at once.
 */
public final class UltrasonicRanger {
    private static final int FIRST_MARK = 237; // the fixed values around a complete range
    private static final int LAST_MARK = 170;

    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every call

    UltrasonicRanger(Dln dln, int address) {
        this.dln = dln;
        this.address = address;
        this.device = Dln.i2cName(address);
    }

    /**
     * Measures the range ({@code Ultra_Sonic}: temperature, low byte, high byte). Blocks for at
     * least 300 ms: the board protocol waits 100 ms before each of its three reads. The
     * temperature is only printed by the library, never handed back. Worst case: the native
     * method's bound, plus {@value Dln#PROBE_BOUND_MS} ms for the server probe after a failure.
     *
     * @return the range in centimetres, 0..65535
     * @throws NoDeviceException when the board did not answer
     * @throws NoServerException when no adapter server answers
     */
    public int rangeCm() {
        int[] slots = new int[255];
        slots[0] = address;
        slots[2] = -1;
        slots[5] = -1;
        Native.ULTRA_SONIC.call(slots);
        if (slots[2] != FIRST_MARK || slots[5] != LAST_MARK) {
            throw dln.failure(Native.ULTRA_SONIC.javaName, device,
                    "the range is incomplete (no reply to a command)");
        }
        return slots[3] + 256 * slots[4];
    }
}
