package i2cdln;

/**
 * No adapter server answers at the address the adapter library uses: none accepted a
 * connection (result 0x47), the connection was lost (0x40), or the server stopped replying
 * (0x46, time-out; 0x102, the call's time bound passed while it waited). No device could be
 * reached; check that the DLN server (or dln-sim) runs.
 * The next call opens a new connection.
 */
public class NoServerException extends DlnException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param method the typed call
     * @param device the device it addressed
     * @param what what failed, naming the server address tried
     */
    public NoServerException(String method, String device, String what) {
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
    public NoServerException(String method, String device, String what, int resultCode) {
        super(method, device, what, resultCode);
    }
}
