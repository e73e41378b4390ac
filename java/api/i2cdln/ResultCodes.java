package i2cdln;

/**
 * The names of the result codes a native call hands back: the adapter library's
 * {@code DLN_RESULT} failures (0x40 and above, as dln_api.h lists them) and the typed library's
 * own codes. A code no table knows is named by its number alone.
 */
final class ResultCodes {
    static final int NOT_CONNECTED = 0x40;
    static final int INVALID_HANDLE = 0x41;
    static final int I2C_NACK = 0x44;
    static final int TIMEOUT = 0x46;
    static final int CONNECTION_FAILED = 0x47;
    static final int PROTOCOL_ERROR = 0x48;
    static final int FAIL = 0x4F;

    private ResultCodes() {
    }

    /** The name of a failure code, such as "I2C NACK" for 0x44; "" for success. */
    static String name(int code) {
        return switch (code) {
            case 0 -> "";
            case NOT_CONNECTED -> "not connected";
            case INVALID_HANDLE -> "invalid handle";
            case 0x42 -> "no such adapter";
            case 0x43 -> "no such port";
            case I2C_NACK -> "I2C NACK";
            case 0x45 -> "invalid argument";
            case TIMEOUT -> "time-out";
            case CONNECTION_FAILED -> "connection failed";
            case PROTOCOL_ERROR -> "protocol error";
            case 0x49 -> "port disabled";
            case FAIL -> "failed";
            default -> ownName(code);
        };
    }

    /** The typed library's own codes (from 0x100 up, beyond any DLN_RESULT). */
    private static String ownName(int code) {
        return switch (code) {
            case NativeSession.NO_SESSION -> "no session";
            case NativeSession.BAD_ARGUMENT -> "bad argument";
            case NativeSession.BOUND_PASSED -> "time bound passed";
            case NativeSession.NO_TARGET -> "no target";
            case NativeSession.WRONG_DEVICE -> "wrong device";
            case NativeSession.DEVICE_BUSY -> "device busy";
            default -> "unknown result";
        };
    }

    /** The code as the messages print it: "0x44 I2C NACK", "0x103 no target". */
    static String describe(int code) {
        return String.format("0x%02X %s", code, name(code));
    }

    /**
     * True when the code means that the session's connection can no longer be trusted: the
     * next call opens a new one.
     */
    static boolean connectionLost(int code) {
        return code == NOT_CONNECTED || code == INVALID_HANDLE || code == TIMEOUT
                || code == CONNECTION_FAILED || code == PROTOCOL_ERROR
                || code == NativeSession.NO_SESSION || code == NativeSession.BOUND_PASSED;
    }

    /** True when the request never reached an adapter: a kept session had gone stale. */
    static boolean neverSent(int code) {
        return code == NOT_CONNECTED || code == INVALID_HANDLE || code == NativeSession.NO_SESSION;
    }

    /**
     * True when no adapter server answers: none is reachable, or it stopped replying (an
     * adapter call's time-out, or the call's time bound passing while it waited).
     */
    static boolean noServer(int code) {
        return code == NOT_CONNECTED || code == TIMEOUT || code == CONNECTION_FAILED
                || code == NativeSession.BOUND_PASSED;
    }

    /** True when the device itself failed: no acknowledge, or a transfer that failed. */
    static boolean noDevice(int code) {
        return code == I2C_NACK || code == FAIL || code == NativeSession.WRONG_DEVICE;
    }
}
