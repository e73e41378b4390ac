package i2cdln;

import java.util.ArrayDeque;
import java.util.Deque;
import java.util.function.BooleanSupplier;

/**
 * The adapter sessions of one {@link Dln}: each a connection with adapter 0 open and I2C port
 * 0 enabled, opened on first use and kept open between calls, so that a transfer costs one
 * adapter call. A call takes an idle session, or opens one when every kept session is in use by
 * another thread (so a 300 ms board wait on one thread never holds up another), and puts it back
 * afterwards. A call whose result says the connection is lost (0x40, 0x41, 0x46, 0x47, 0x48,
 * or the library's no-session and bound-passed codes) closes its session, and the next call opens
 * a new one; a kept session that went stale since
 * its last call (the server restarted) is replaced and the call made again once, where the
 * caller says that is safe.
 */
final class Session implements AutoCloseable {
    /** The address the library asks for; our dln applies DLN_SERVER to it. */
    private static final String HOST = ServerAddress.FIXED_HOST;
    private static final int PORT = ServerAddress.FIXED_PORT;
    private static final int KEPT = 4; // idle sessions kept; more threads at once open more

    /** One native call on an open session; returns its result code. */
    @FunctionalInterface
    interface Call {
        int on(long session);
    }

    /** A native call's code and, when it failed, the step and device it failed at. */
    record Outcome(int code, String failure) {
        boolean ok() {
            return code == 0;
        }
    }

    /** A call that worked. */
    static final Outcome OK = new Outcome(0, "");

    static {
        NativeLibrary.load(NativeLibrary.TYPED);
    }

    private final ServerAddress server; // for the messages only
    private final Deque<Long> idle = new ArrayDeque<>();

    Session(ServerAddress server) {
        this.server = server;
    }

    /**
     * Makes the call on a session and turns a failure into the typed exception.
     *
     * @param method the typed call, for the message
     * @param device the device, for the message
     * @param call the native call
     */
    void run(String method, String device, Call call) {
        Outcome outcome = attempt(method, device, call, () -> true);
        if (!outcome.ok()) {
            throw failure(method, device, outcome);
        }
    }

    /**
     * Makes the call on a session and hands back its outcome; only a session that cannot be
     * opened throws.
     *
     * @param repeatable asked after a failure that never reached an adapter on a kept session
     *     (it had gone stale): whether the call may be made again on a new one
     */
    Outcome attempt(String method, String device, Call call, BooleanSupplier repeatable) {
        Long kept = take();
        long session = kept != null ? kept : open(method, device);
        int code = call.on(session);
        if (kept != null && ResultCodes.neverSent(code) && repeatable.getAsBoolean()) {
            NativeSession.close(session);
            session = open(method, device);
            code = call.on(session);
        }
        if (code == 0) {
            give(session);
            return OK;
        }
        // A refused argument never reached the session: its failure text is an older call's.
        String failure = code == NativeSession.BAD_ARGUMENT ? "" : NativeSession.failure(session);
        if (ResultCodes.connectionLost(code)) {
            NativeSession.close(session);
        } else {
            give(session);
        }
        return new Outcome(code, failure == null ? "" : failure);
    }

    /** The exception for a failed call, by its code. */
    DlnException failure(String method, String device, Outcome outcome) {
        return failure(method, device, "", outcome);
    }

    /** As above, the message's account of the failure led by {@code lead}. */
    DlnException failure(String method, String device, String lead, Outcome outcome) {
        int code = outcome.code();
        String what = lead + describe(outcome);
        if (ResultCodes.noServer(code)) {
            return new NoServerException(method, device, what + "; no adapter server answers at "
                    + server, code);
        }
        if (ResultCodes.noDevice(code)) {
            return new NoDeviceException(method, device, what, code);
        }
        return new DlnException(method, device, what, code);
    }

    /**
     * "0x44 I2C NACK at I2C 0x48, input 2 (DlnI2cMasterRead)" from the code and the native
     * side's "DlnI2cMasterRead at I2C 0x48, input 2".
     */
    static String describe(Outcome outcome) {
        String code = ResultCodes.describe(outcome.code());
        String failure = outcome.failure();
        int at = failure.indexOf(" at ");
        if (failure.isEmpty()) {
            return code;
        }
        return at < 0 ? code + " (" + failure + ")"
                      : code + failure.substring(at) + " (" + failure.substring(0, at) + ")";
    }

    /** Closes every idle session; calls after this open new ones. */
    @Override
    public void close() {
        synchronized (idle) {
            idle.forEach(NativeSession::close);
            idle.clear();
        }
    }

    private Long take() {
        synchronized (idle) {
            return idle.pollFirst();
        }
    }

    private void give(long session) {
        synchronized (idle) {
            if (idle.size() < KEPT) {
                idle.addFirst(session); // the most recently used first: it is warm
                return;
            }
        }
        NativeSession.close(session);
    }

    private long open(String method, String device) {
        int[] result = new int[1];
        long session = NativeSession.open(HOST, PORT, result);
        if (session != 0) {
            return session;
        }
        Outcome outcome = new Outcome(result[0] == 0 ? ResultCodes.FAIL : result[0],
                "opening the adapter session");
        throw failure(method, device, outcome);
    }
}
