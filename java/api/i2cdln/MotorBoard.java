package i2cdln;

/**
 * The motor-speed board. Safe to share between threads; calls from several threads run at
 * once, each on a session of its own.
 */
public final class MotorBoard {
    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every failure

    MotorBoard(Dln dln, int address) {
        this.dln = dln;
        this.address = address;
        this.device = Dln.i2cName(address);
    }

    /**
     * Reads a speed: 0xC1, the parameter, then 0xC0, as the board's protocol sends them. Blocks
     * for at least 210 ms: the board protocol waits 100, 100 and 10 ms. Six
     * adapter calls. Worst case: its native call's bound of 1.21 s (see {@link Dln} on
     * worst-case times).
     *
     * @param parameter the parameter byte, 0..255 (which motor, on the robot's board)
     * @return the speed byte, 0..255, unscaled
     * @throws ArgumentOutOfRangeException when the parameter is outside 0..255
     * @throws NoDeviceException when the board did not answer
     * @throws NoServerException when no adapter server answers
     */
    public int speed(int parameter) {
        String method = "MotorBoard.speed";
        ArgumentOutOfRangeException.check(method, device, "parameter", parameter, 0, 255);
        int[] speed = new int[1];
        dln.session().run(method, device,
                session -> NativeSession.motorSpeed(session, address, parameter, speed));
        return speed[0];
    }
}
