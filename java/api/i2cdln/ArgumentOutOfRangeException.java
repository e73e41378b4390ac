package i2cdln;

/**
 * An argument lay outside what the call can carry; refused before any native call,
 * so nothing happened on the bus.
 */
public class ArgumentOutOfRangeException extends DlnException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param method the typed call that was refused
     * @param device the device it would have addressed
     * @param what the argument, its value and the range allowed
     */
    public ArgumentOutOfRangeException(String method, String device, String what) {
        super(method, device, what);
    }

    /** Refuses {@code value} unless it lies in {@code low..high}. */
    static int check(String method, String device, String name, int value, int low, int high) {
        if (value < low || value > high) {
            throw new ArgumentOutOfRangeException(method, device,
                    name + " " + value + " is outside " + low + ".." + high);
        }
        return value;
    }
}
