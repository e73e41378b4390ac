package i2cdln;

/**
 * The motor-speed board. Calls open their own adapter connection and may run from several
 * threads at once.
 */
public final class MotorBoard {
    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every call

    MotorBoard(Dln dln, int address) {
        this.dln = dln;
        this.address = address;
        this.device = Dln.i2cName(address);
    }

    /**
     * Reads a speed ({@code ReadMotorSpeeds}: 0xC1, the parameter, then 0xC0). Blocks for at
     * least 210 ms: the board protocol waits 100, 100 and 10 ms. Worst case: the native method's
     * bound, plus {@value Dln#PROBE_BOUND_MS} ms for the server probe after a failure.
     *
     * @param parameter the parameter byte, 0..255 (which motor, on the robot's board)
     * @return the speed byte, 0..255, unscaled
     * @throws ArgumentOutOfRangeException when the parameter is outside 0..255
     * @throws NoDeviceException when the board did not answer
     * @throws NoServerException when no adapter server answers
     */
    public int speed(int parameter) {
        String method = Native.READ_MOTOR_SPEEDS.javaName;
        ArgumentOutOfRangeException.check(method, device, "parameter", parameter,
                0, 255);
        int[] slots = new int[255];
        slots[0] = address;
        slots[1] = parameter;
        Native.READ_MOTOR_SPEEDS.call(slots);
        // The fixed values 170, 171, 172 are written only after a complete read.
        if (slots[3] != 170 || slots[4] != 171 || slots[5] != 172) {
            throw dln.failure(method, device, "the speed read failed");
        }
        return slots[2];
    }
}
