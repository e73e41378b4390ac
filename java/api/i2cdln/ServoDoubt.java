package i2cdln;

import java.util.Map;
import java.util.concurrent.ConcurrentHashMap;

/**
 * The servo boards of this process that may be in the middle of a command, with the failure
 * that left each so. Boards are hardware, shared by every {@link Dln} of the process, so this is
 * one process-wide table.
 */
final class ServoDoubt {
    private static final Map<Integer, String> BOARDS = new ConcurrentHashMap<>();

    private ServoDoubt() {
    }

    /**
     * Marks a board after a pulse-width command to it failed, unless the failure's code says
     * that no request reached an adapter (no connection, a closed handle).
     */
    static void mark(int address, int code, DlnException failure) {
        if (code != ResultCodes.NOT_CONNECTED && code != ResultCodes.CONNECTION_FAILED
                && code != ResultCodes.INVALID_HANDLE) {
            BOARDS.put(address, failure.getMessage());
        }
    }

    static void clear(int address) {
        BOARDS.remove(address);
    }

    static boolean inDoubt(int address) {
        return BOARDS.containsKey(address);
    }

    /** Refuses a call to a board in doubt, before anything goes on the bus. */
    static void refuse(String method, int address) {
        String cause = BOARDS.get(address);
        if (cause != null) {
            throw new BoardInDoubtException(method, Dln.i2cName(address),
                    "refused: an earlier pulse-width command failed part-way (" + cause
                    + "), so the board may read this command's bytes as a pulse width; reset"
                    + " the board, then call acknowledgeFailure()");
        }
    }
}
