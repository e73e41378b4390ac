package i2cdln;

/**
 * The adapter server answered, but the device did not: it is absent, did not acknowledge its
 * address (I2C NACK) or a transfer with it failed. The library does not tell these apart; a
 * caller may retry or treat the device as gone.
 */
public class NoDeviceException extends DlnException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param method the native method that was called
     * @param device the device it addressed
     * @param what what failed
     */
    public NoDeviceException(String method, String device, String what) {
        super(method, device, what);
    }
}
