package i2cdln;

/**
 * A call of the typed API failed. The message names the native method, the device (I2C
 * address or SPI slave-select line) and what failed. Subtypes mark the failures a caller
 * handles differently; everything else the library makes observable arrives as this type.
 */
public class DlnException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** The native method that was called. */
    private final String method;
    /** The device it addressed. */
    private final String device;

    /**
     * Creates the exception.
     *
     * @param method the native method of {@code I2C_DLN} that was called
     * @param device the device it addressed, such as "I2C 0x50" or "SPI line 1"
     * @param what what failed
     */
    public DlnException(String method, String device, String what) {
        super(method + " at " + device + ": " + what);
        this.method = method;
        this.device = device;
    }

    /**
     * The native method of {@code I2C_DLN} that was called.
     *
     * @return the method's Java name, such as "read"
     */
    public String method() {
        return method;
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
