package i2cdln;

import java.time.Duration;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;
import java.util.concurrent.locks.ReentrantLock;

/**
 * The time-of-flight laser ranger (the VL53L0X sensor at I2C address 0x29). The robot has one
 * sensor, so there is one ranger per process; it keeps an adapter session of its own, which
 * holds the sensor's driver state, and makes its native calls one at a time on its own thread
 * ("i2cdln laser", a daemon thread).
 *
 * <p>{@link #range()} connects and calibrates on first use. A failed measurement is repeated up
 * to {@link #PLAIN_RETRIES} times; if they all fail, or the failure's code says the connection
 * was lost (the sensor's set-up went with it), the ranger opens a new session, reconnects and
 * recalibrates, at most {@link #MAX_RECOVERIES} times, telling the {@link Listener} each time
 * and counting the recoveries in the {@link Reading}. A connect or calibration that fails is
 * tried again at once for up to {@link #SET_UP_TIME} before the call fails with it. After a server restart this brings the
 * sensor back at the first failed measurement; while no server answers, the call ends with
 * {@link NoServerException}.
 *
 * <p>For a control loop, {@link #range()} ends within its deadline ({@link #setDeadline},
 * {@link #DEFAULT_DEADLINE} unless set) with a reading or an exception: when the laser's thread
 * is still measuring or recovering then, the call throws {@link DeadlineException} naming the
 * step under way, and the work goes on in that thread. The next {@code range()} waits for it
 * (within its own deadline) and hands back how it ends; when it ended before that call, its
 * failure is thrown, or, when it ranged, a new measurement is made (a range older than the call
 * is never handed out; its counts of failed measurements and recoveries go into the reading).
 * Only the very first {@code range()} of the process connects and calibrates without a deadline.
 *
 * <p>Every failure carries the result code of the native call that failed, connecting and
 * calibrating included. A range the sensor flags as doubtful (its range status) arrives as a
 * plain reading, as before; one beyond reach as {@link NoTargetException}.
 */
public final class LaserRanger {
    /** The sensor's 7-bit address; the library always uses it. */
    public static final int ADDRESS = 0x29;
    /** The most reconnect-and-recalibrate rounds one {@link #range()} makes. */
    public static final int MAX_RECOVERIES = 3;
    /**
     * Plain repeats of a failed measurement before a reconnect: a NACK or a failed transfer
     * costs one measurement to repeat, a recovery a connect and a calibration (about 20 times
     * as long), so passing faults never make the ranger recalibrate; a lost connection fails
     * each repeat at once.
     */
    public static final int PLAIN_RETRIES = 3;
    /** Ranges from this value up mean that no target was in reach. */
    public static final int NO_TARGET_MM = 8190;
    /**
     * The deadline of {@link #range()} unless {@link #setDeadline} sets another: 250 ms, three
     * measurement times of the sensor's default 33 ms timing budget (a measurement, its retry
     * and room to spare) plus the 78 adapter calls of one measurement at up to 1.5 ms each.
     */
    public static final Duration DEFAULT_DEADLINE = Duration.ofMillis(250);
    /**
     * How long a connect and calibration is tried again after a failed attempt, on the laser's
     * thread: a sensor that NACKs for a while fails each attempt at its first transfer.
     */
    public static final Duration SET_UP_TIME = Duration.ofSeconds(1);

    private static final String DEVICE = "I2C 0x29";
    private static final String METHOD = "LaserRanger.range";
    private static LaserRanger shared;

    /** Told when the ranger recovers the sensor; called on the laser's own thread. */
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

    private final Session session; // the laser's own: its calls never wait for a board's
    private final ExecutorService thread = Executors.newSingleThreadExecutor(task -> {
        Thread laser = new Thread(task, "i2cdln laser");
        laser.setDaemon(true); // a sensor call under way must not keep the JVM alive
        return laser;
    });
    private final ReentrantLock callers = new ReentrantLock(); // one range() at a time
    private volatile Listener listener = (attempt, reason) -> {};
    private volatile Duration deadline = DEFAULT_DEADLINE;
    private volatile String step = "idle"; // what the laser's thread does, for a deadline's message
    private boolean connected; // the laser's thread only
    private boolean calibrated; // the laser's thread only
    private volatile boolean everCalibrated; // once set up, range() keeps to its deadline
    private Future<Reading> outstanding; // a measurement that outlived its caller; under callers

    private LaserRanger(Dln dln) {
        this.session = new Session(dln.serverAddress());
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
     * Sets how long {@link #range()} may take, for every caller of this process's ranger.
     *
     * @param deadline a positive duration
     * @throws IllegalArgumentException when it is zero or negative
     */
    public void setDeadline(Duration deadline) {
        if (deadline.isNegative() || deadline.isZero()) {
            throw new IllegalArgumentException("a deadline must be positive: " + deadline);
        }
        this.deadline = deadline;
    }

    /**
     * How long {@link #range()} may take.
     *
     * @return the deadline
     */
    public Duration deadline() {
        return deadline;
    }

    /**
     * Resets the sensor, checks its identification, sets its bus address and reads its stop
     * variable, on the ranger's session (opened first when needed). No waits beyond the
     * sensor's reset. Has no deadline: worst case, the work already queued on the laser's
     * thread, then the native call's bound of 1 s (see {@link Dln} on worst-case times).
     *
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when a step failed, with its result code
     */
    public void connect() {
        await(thread.submit(() -> {
            throwUnless(connectOnce(), "LaserRanger.connect");
            return null;
        }));
    }

    /**
     * Calibrates the sensor and sets single ranging, connecting first if needed: about 420
     * adapter calls and 80 ms or more, including the sensor's reference measurements. Has no
     * deadline: worst case, the work already queued on the laser's thread, then the native
     * call's bound of 3 s (and the connect's, when it connects first; see {@link Dln} on
     * worst-case times).
     *
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when a step failed, with its result code
     */
    public void calibrate() {
        await(thread.submit(() -> {
            throwUnless(setUp(), "LaserRanger.calibrate");
            return null;
        }));
    }

    /**
     * Measures one range, connecting and calibrating first if needed, and recovering from
     * failed measurements as the class describes. Takes the sensor's measurement time (about
     * 33 ms) plus its adapter calls (a start, the polls while the sensor measures, the result);
     * a recovery adds a connect and a calibration. Worst case: the {@linkplain #deadline()
     * deadline}, counted from the call
     * (waiting for another thread's {@code range()} included), plus the few microseconds it
     * takes to notice; except on first use, which first connects and calibrates as
     * {@link #calibrate()} does, without a deadline (call that before a control loop starts).
     *
     * @return the reading
     * @throws NoTargetException when no target is in reach
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the measurements failed after every recovery, with the last
     *     failure's result code ({@link NoDeviceException} for a NACK or a failed transfer)
     * @throws DeadlineException when the laser's thread was still at work at the deadline; it
     *     goes on, and the next call reports how it ended
     */
    public Reading range() {
        if (!everCalibrated) {
            calibrate(); // setting up, before the loop: its time is not the loop's
        }
        long end = System.nanoTime() + deadline.toNanos();
        try {
            if (!callers.tryLock(end - System.nanoTime(), TimeUnit.NANOSECONDS)) {
                throw late("another thread's range() held the ranger");
            }
        } catch (InterruptedException e) {
            throw interrupted();
        }
        try {
            int failed = 0;
            int recoveries = 0;
            Future<Reading> earlier = outstanding;
            if (earlier != null && !earlier.isDone()) {
                // Still at work: what it ends with now is fresh, and this call's result.
                try {
                    return within(earlier, end);
                } finally {
                    if (earlier.isDone()) {
                        outstanding = null;
                    }
                }
            }
            if (earlier != null) {
                // It ended between the calls: its range may be old, its failure is news.
                outstanding = null;
                try {
                    Reading old = await(earlier);
                    failed = old.failedMeasurements();
                    recoveries = old.recoveries();
                } catch (NoTargetException old) {
                    // the way was clear then; this call measures now
                }
            }
            Future<Reading> job = thread.submit(this::measure);
            Reading reading;
            try {
                reading = within(job, end);
            } finally {
                if (!job.isDone()) {
                    outstanding = job;
                }
            }
            return new Reading(reading.millimetres(), reading.failedMeasurements() + failed,
                    reading.recoveries() + recoveries);
        } finally {
            callers.unlock();
        }
    }

    /**
     * Measures one range; as {@link #range()} without the recovery count.
     *
     * @return the range, 1..8189 mm
     * @throws NoTargetException when no target is in reach
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the measurements failed after every recovery
     * @throws DeadlineException when the laser's thread was still at work at the deadline
     */
    public int rangeMm() {
        return range().millimetres();
    }

    /** On the laser's thread: one measurement with its retry and recoveries. */
    private Reading measure() {
        try {
            if (!calibrated) {
                throwUnless(setUp(), METHOD);
            }
            int recoveries = 0;
            int failures = 0;
            int sinceRecovery = 0; // failed measurements since the last connect
            while (true) {
                step = "measuring";
                int[] result = new int[2];
                Session.Outcome last = session.attempt(METHOD, DEVICE,
                        handle -> NativeSession.laserMeasure(handle, result), () -> false);
                // The library calls every range with a status other than 0 "no target"; one
                // within reach is handed out as before, as a plain (doubtful) reading.
                boolean measured = last.ok() || last.code() == NativeSession.NO_TARGET;
                if (measured && result[0] >= NO_TARGET_MM) {
                    throw new NoTargetException(METHOD, DEVICE, result[0]);
                }
                if (measured && result[0] > 0) {
                    return new Reading(result[0], failures, recoveries);
                }
                failures++;
                // A lost connection took the sensor's set-up with it: repeating is no use.
                if (++sinceRecovery <= PLAIN_RETRIES && !ResultCodes.connectionLost(last.code())) {
                    continue;
                }
                if (recoveries == MAX_RECOVERIES) {
                    calibrated = false; // the next call starts over
                    throw session.failure(METHOD, DEVICE, "after " + recoveries + " reconnects: ",
                            last);
                }
                recoveries++;
                sinceRecovery = 0;
                listener.recovering(recoveries, session.failure(METHOD, DEVICE, last).getMessage());
                session.close(); // a new connection: the old one may be what failed
                connected = false;
                throwUnless(setUp(), METHOD);
            }
        } finally {
            step = "idle";
        }
    }

    /**
     * On the laser's thread: connects (unless connected) and calibrates. A failed attempt is
     * made again at once, for up to {@link #SET_UP_TIME} from the first: a sensor that NACKs
     * for a while fails each attempt at its first transfer, so few attempts would give up on a
     * passing fault. No server ends it at once.
     */
    private Session.Outcome setUp() {
        long end = System.nanoTime() + SET_UP_TIME.toNanos();
        while (true) {
            Session.Outcome outcome = connected ? Session.OK : connectOnce();
            if (outcome.ok()) {
                outcome = calibrateOnce();
            }
            if (outcome.ok() || ResultCodes.noServer(outcome.code())
                    || System.nanoTime() - end > 0) {
                return outcome;
            }
            connected = false; // a failed calibration may have left the sensor anywhere
        }
    }

    /** On the laser's thread: resets and sets up the sensor; its outcome. */
    private Session.Outcome connectOnce() {
        step = "connecting";
        connected = false;
        calibrated = false;
        Session.Outcome outcome = session.attempt("LaserRanger.connect", DEVICE,
                NativeSession::laserConnect, () -> true);
        connected = outcome.ok();
        return outcome;
    }

    /** On the laser's thread: calibrates, connected already; its outcome. */
    private Session.Outcome calibrateOnce() {
        step = "calibrating";
        Session.Outcome outcome = session.attempt("LaserRanger.calibrate", DEVICE,
                NativeSession::laserCalibrate, () -> false);
        calibrated = outcome.ok();
        if (calibrated) {
            everCalibrated = true;
        }
        return outcome;
    }

    /** Throws the failure of an outcome that is not ok, named after the call. */
    private void throwUnless(Session.Outcome outcome, String method) {
        if (!outcome.ok()) {
            throw session.failure(method, DEVICE, outcome);
        }
    }

    private <T> T within(Future<T> job, long end) {
        try {
            return job.get(Math.max(0, end - System.nanoTime()), TimeUnit.NANOSECONDS);
        } catch (TimeoutException e) {
            throw late("the laser's thread is still " + step
                    + "; it goes on, and the next range() reports how it ended");
        } catch (ExecutionException e) {
            throw rethrown(e);
        } catch (InterruptedException e) {
            throw interrupted();
        }
    }

    private static <T> T await(Future<T> job) {
        try {
            return job.get();
        } catch (ExecutionException e) {
            throw rethrown(e);
        } catch (InterruptedException e) {
            throw interrupted();
        }
    }

    private DeadlineException late(String what) {
        return new DeadlineException(METHOD, DEVICE,
                "no range within " + deadline.toMillis() + " ms: " + what);
    }

    private static RuntimeException rethrown(ExecutionException e) {
        if (e.getCause() instanceof RuntimeException cause) {
            return cause;
        }
        if (e.getCause() instanceof Error error) {
            throw error;
        }
        return new IllegalStateException(e.getCause());
    }

    private static DlnException interrupted() {
        Thread.currentThread().interrupt();
        return new DlnException(METHOD, DEVICE, "interrupted while waiting for the laser");
    }
}
