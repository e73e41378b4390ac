package i2cdln;

/**
 * A servo board is refused: an earlier pulse-width command to it failed part-way, so the board
 * may still wait for the rest of that command and would read the next command's bytes as a
 * pulse width or a parameter. Nothing sent over the bus can bring it back safely (every byte
 * means what the board's unknown state makes of it), so the typed API sends it nothing more
 * until the program has reset the board (its power or reset line) and called
 * {@link ServoBoard#acknowledgeFailure()} or {@link ServoPair#acknowledgeFailure()}.
 */
public class BoardInDoubtException extends DlnException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param method the typed call that was refused
     * @param device the board refused
     * @param what why, with the failure that left the board in doubt
     */
    public BoardInDoubtException(String method, String device, String what) {
        super(method, device, what);
    }
}
