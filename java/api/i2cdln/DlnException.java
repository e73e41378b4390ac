package i2cdln;

/**
 * A call of the typed API failed. The message names the call, the device (I2C address or SPI
 * slave-select line) and what failed: for a failed native call, the result code with its name,
 * where it failed and the adapter call that failed, such as
 * {@code AdcDacBoard.exchange at I2C 0x48: 0x44 I2C NACK at I2C 0x48, input 2 (DlnI2cMasterRead)}.
 * Subtypes mark the failures a caller handles differently; every other failure arrives as this
 * type.
 */
public class DlnException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** The typed call that failed. */
    private final String method;
    /** The device it addressed. */
    private final String device;
    /** The native call's result code; 0 when no native call failed. */
    private final int resultCode;

    /**
     * Creates the exception for a failure that no native call reported (an argument, a
     * read-back that differs, a deadline).
     *
     * @param method the typed call, such as "I2cDevice.read"
     * @param device the device it addressed, such as "I2C 0x50" or "SPI line 1"
     * @param what what failed
     */
    public DlnException(String method, String device, String what) {
        this(method, device, what, 0);
    }

    /**
     * Creates the exception for a native call that returned a failure code.
     *
     * @param method the typed call, such as "I2cDevice.read"
     * @param device the device it addressed, such as "I2C 0x50" or "SPI line 1"
     * @param what what failed, with the code and its name
     * @param resultCode the code: the adapter's {@code DLN_RESULT} (0x40 and above) or one of
     *     the typed library's own codes
     */
    public DlnException(String method, String device, String what, int resultCode) {
        super(method + " at " + device + ": " + what);
        this.method = method;
        this.device = device;
        this.resultCode = resultCode;
    }

    /**
     * The typed call that failed.
     *
     * @return its class and method, such as "I2cDevice.read"
     */
    public String method() {
        return method;
    }

    /**
     * The result code of the native call that failed.
     *
     * @return the adapter's {@code DLN_RESULT} (0x40 and above, such as 0x44 for an I2C NACK),
     *     one of the typed library's own codes, or 0 when no native call failed
     */
    public int resultCode() {
        return resultCode;
    }

    /**
     * The name of {@link #resultCode()}.
     *
     * @return such as "I2C NACK" or "connection failed"; "" when the code is 0
     */
    public String resultName() {
        return ResultCodes.name(resultCode);
    }

    /**
     * The device the call addressed.
     *
     * @return "I2C 0x50", "SPI line 1" or "adapter"
     */
    public String device() {
        return device;
    }
}
