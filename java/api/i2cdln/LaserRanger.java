package i2cdln;

/**
 * The time-of-flight laser ranger (the VL53L0X sensor at I2C address 0x29). The library keeps
 * the sensor's adapter connection and driver state for the whole process, so there is one
 * ranger per process and its calls are serialised: a call from a second thread waits until the
 * first returns.
 *
 * <p>{@link #range()} connects and calibrates on first use. A failed measurement (the library
 * hands back 0 mm) is repeated once; if it fails again the ranger reconnects and recalibrates,
 * at most {@link #MAX_RECOVERIES} times, telling the {@link Listener} each time and counting the
 * recoveries in the {@link Reading}. After a server restart this brings the sensor back.
 *
 * <p>Connecting and calibrating hand back nothing: their failures show only in the library's
 * printed lines and in the measurements that follow. A range the sensor flags as doubtful (its
 * range status, printed by the library) is not handed back either, so such a range arrives as
 * a plain reading.
 */
public final class LaserRanger {
    /** The sensor's 7-bit address; the library always uses it. */
    public static final int ADDRESS = 0x29;
    /** The most reconnect-and-recalibrate rounds one {@link #range()} makes. */
    public static final int MAX_RECOVERIES = 3;
    /** Ranges from this value up mean that no target was in reach. */
    public static final int NO_TARGET_MM = 8190;

    private static final int CONNECT = 0;
    private static final int CALIBRATE = 1;
    private static final int MEASURE = 2;
    private static final String DEVICE = "I2C 0x29";
    private static LaserRanger shared;

    /** Told when the ranger recovers the sensor; called on the measuring thread. */
    @FunctionalInterface
    public interface Listener {
        /**
         * The ranger is about to reconnect and recalibrate.
         *
         * @param attempt this recovery's number, from 1
         * @param reason what failed, naming the method and the sensor
         */
        void recovering(int attempt, String reason);
    }

    /**
     * One range.
     *
     * @param millimetres the range, 1..8189 mm
     * @param failedMeasurements the measurements that failed before this one, usually 0
     * @param recoveries the reconnect-and-recalibrate rounds this reading needed, usually 0
     */
    public record Reading(int millimetres, int failedMeasurements, int recoveries) {}

    private final Dln dln;
    private final Object lock = new Object();
    private volatile Listener listener = (attempt, reason) -> {};
    private boolean connected;
    private boolean calibrated;

    private LaserRanger(Dln dln) {
        this.dln = dln;
    }

    static synchronized LaserRanger shared(Dln dln) {
        if (shared == null) {
            shared = new LaserRanger(dln);
        }
        return shared;
    }

    /**
     * Sets who is told about recoveries; replaces the previous listener.
     *
     * @param listener the listener
     */
    public void setListener(Listener listener) {
        this.listener = listener == null ? (attempt, reason) -> {} : listener;
    }

    /**
     * Connects to the adapter and resets the sensor (operation 0). A repeated connect opens a
     * new connection; the library does not release the previous one. 23 adapter calls,
     * no waits.
     */
    public void connect() {
        synchronized (lock) {
            operation(CONNECT);
            connected = true;
            calibrated = false;
        }
    }

    /**
     * Calibrates the sensor and sets single ranging (operation 1), connecting first if needed.
     * About 450 adapter calls and 80 ms or more, including the sensor's reference measurements.
     */
    public void calibrate() {
        synchronized (lock) {
            if (!connected) {
                connect();
            }
            operation(CALIBRATE);
            calibrated = true;
        }
    }

    /**
     * Measures one range (operation 2), connecting and calibrating first if needed, and
     * recovering from failed measurements as the class describes. Blocks for the sensor's
     * measurement time (about 33 ms) plus about 80 adapter calls; a recovery adds a connect and
     * a calibration.
     *
     * @return the reading
     * @throws NoTargetException when no target is in reach
     * @throws NoServerException when the measurements failed and no adapter server answers
     * @throws NoDeviceException when the measurements failed after every recovery
     */
    public Reading range() {
        synchronized (lock) {
            if (!calibrated) {
                calibrate();
            }
            int recoveries = 0;
            int failures = 0;
            while (true) {
                int mm = operation(MEASURE);
                if (mm >= NO_TARGET_MM) {
                    throw new NoTargetException(Native.LASER.javaName, DEVICE, mm);
                }
                if (mm > 0) {
                    return new Reading(mm, failures, recoveries);
                }
                // 0 mm: the measurement failed (the library clears the result it could not read).
                String reason = Native.LASER.javaName + " at " + DEVICE
                        + ": measurement failed (0 mm)";
                if (++failures == 1) {
                    continue; // one plain retry: a single NACK needs no new connection
                }
                boolean serverAnswers = dln.serverAnswers();
                if (recoveries == MAX_RECOVERIES || !serverAnswers) {
                    connected = false; // the next call starts over
                    calibrated = false;
                    throw dln.failure(Native.LASER.javaName, DEVICE, "measurement failed (0 mm)"
                            + (recoveries > 0 ? " after " + recoveries + " reconnects" : ""),
                            serverAnswers);
                }
                recoveries++;
                listener.recovering(recoveries, reason);
                connect();
                calibrate();
            }
        }
    }

    /**
     * Measures one range; as {@link #range()} without the recovery count.
     *
     * @return the range, 1..8189 mm
     * @throws NoTargetException when no target is in reach
     * @throws NoServerException when the measurements failed and no adapter server answers
     * @throws NoDeviceException when the measurements failed after every recovery
     */
    public int rangeMm() {
        return range().millimetres();
    }

    private static int operation(int code) {
        int[] slots = new int[255];
        slots[0] = ADDRESS;
        slots[1] = code;
        Native.LASER.call(slots);
        return slots[2] << 8 | slots[3];
    }
}
