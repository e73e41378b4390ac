package i2cdln;

/**
 * The adapter server answered, but the device did not: it did not acknowledge its address
 * (result 0x44, I2C NACK), a transfer with it failed (0x4F), or it answered, but not as its
 * kind does (0x104, say an EEPROM's identification); {@link #resultCode()} tells which, and the
 * message names the adapter call. A caller may retry or treat the device as gone.
 */
public class NoDeviceException extends DlnException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param method the typed call
     * @param device the device it addressed
     * @param what what failed
     */
    public NoDeviceException(String method, String device, String what) {
        super(method, device, what);
    }

    /**
     * Creates the exception for a native call that returned a failure code.
     *
     * @param method the typed call
     * @param device the device it addressed
     * @param what what failed, with the code and its name
     * @param resultCode the native call's result code
     */
    public NoDeviceException(String method, String device, String what, int resultCode) {
        super(method, device, what, resultCode);
    }
}
