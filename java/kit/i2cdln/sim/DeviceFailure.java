package i2cdln.sim;

/**
 * Thrown by a {@link DeviceModel} to fail the transfer under way: the program's adapter call
 * returns the result named, as a scenario's fault would make it.
 */
public final class DeviceFailure extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** The result's name, as dln-sim takes it. */
    private final String result;

    /**
     * A failure with the result of one name.
     *
     * @param result as scenario faults name them: {@code "nack"}, {@code "fail"},
     *     {@code "timeout"}, {@code "not-connected"}, ... or a number from 0x40 such as
     *     {@code "0x44"}
     */
    public DeviceFailure(String result) {
        super("the device model fails the transfer: " + result);
        this.result = result;
    }

    /**
     * The device did not acknowledge (result 0x44, I2C NACK), as an absent or busy device.
     *
     * @return the failure to throw
     */
    public static DeviceFailure nack() {
        return new DeviceFailure("nack");
    }

    /**
     * The result's name, as dln-sim takes it.
     *
     * @return such as {@code "nack"}
     */
    public String result() {
        return result;
    }
}
