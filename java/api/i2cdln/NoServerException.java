package i2cdln;

/**
 * No adapter server accepted a connection at the address the adapter library uses, so no
 * device could be reached; check that the DLN server (or dln-sim) runs.
 */
public class NoServerException extends DlnException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param method the native method that was called
     * @param device the device it addressed
     * @param what what failed, naming the server address tried
     */
    public NoServerException(String method, String device, String what) {
        super(method, device, what);
    }
}
