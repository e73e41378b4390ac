package i2cdln;

/**
 * A call did not end within its deadline. The work it started goes on in the device's own
 * thread; the next call reports how it ended.
 */
public class DeadlineException extends DlnException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param method the typed call whose work outlived the deadline
     * @param device the device it addressed
     * @param what the deadline and the step still under way
     */
    public DeadlineException(String method, String device, String what) {
        super(method, device, what);
    }
}
