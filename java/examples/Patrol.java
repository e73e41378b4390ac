package examples;

import i2cdln.AdcDacBoard;
import i2cdln.BoardInDoubtException;
import i2cdln.Dln;
import i2cdln.DlnException;
import i2cdln.LaserRanger;
import i2cdln.NoTargetException;
import i2cdln.ServoBoard;
import i2cdln.UltrasonicRanger;
import java.util.Arrays;
import java.util.concurrent.Executors;
import java.util.concurrent.ScheduledExecutorService;
import java.util.concurrent.TimeUnit;

/**
 * The patrol loop: every 100 ms the laser range steers a servo and, below 400 mm, stops the
 * motor; a second thread prints the ultrasonic range, whose call blocks for 300 ms or more and
 * would stall the loop. A failed reading changes nothing: the motor keeps its last command.
 * The laser's range() ends within its deadline (250 ms), so a sensor that is recovering costs
 * turns, never the loop.
 *
 * <p>Usage: {@code java examples.Patrol [SECONDS]} (default 10). The motor is driven by the
 * ADC/DAC board's output (0 stops it), sent every turn so that a command lost to a fault is
 * sent again; the board's inputs come back with it. The servo board 0x51 steers; once a
 * failed command leaves it in doubt, the patrol stops steering (the board would need a reset).
 */
public final class Patrol {
    /** The laser range, in millimetres, below which the motor stops. */
    public static final int STOP_BELOW_MM = 400;
    /** The ADC/DAC board's output value that makes the motor run. */
    public static final int DRIVE = 160;
    /** The output value that stops the motor. */
    public static final int STOP = 0;

    private final ServoBoard steering;
    private final AdcDacBoard motor;
    private final LaserRanger laser;
    private final long start = System.nanoTime();
    private boolean steeringRefused; // touched by the loop thread only

    Patrol(Dln dln) {
        steering = dln.servo(0x51);
        motor = dln.adcDac(0x48);
        laser = dln.laser();
        laser.setListener((attempt, reason) ->
                log("laser recovery %d: %s", attempt, reason));
    }

    /** 200 mm or nearer: full left (1000 us); 1200 mm or farther: full right (2000 us). */
    static int steeringFor(int mm) {
        return 1000 + Math.max(0, Math.min(1000, mm - 200));
    }

    private void log(String format, Object... args) {
        long ms = (System.nanoTime() - start) / 1_000_000;
        System.out.printf("PATROL t=%d " + format + "%n", prepend(ms, args));
        System.out.flush();
    }

    private static Object[] prepend(long ms, Object[] args) {
        Object[] all = new Object[args.length + 1];
        all[0] = ms;
        System.arraycopy(args, 0, all, 1, args.length);
        return all;
    }

    /** One turn of the 100 ms loop. */
    void step() {
        int mm;
        String note = "";
        try {
            LaserRanger.Reading reading = laser.range();
            mm = reading.millimetres();
            if (reading.failedMeasurements() > 0) {
                note = " after " + reading.failedMeasurements() + " failed measurements";
            }
        } catch (NoTargetException e) {
            mm = Integer.MAX_VALUE; // nothing in reach: the way is clear
        } catch (DlnException e) {
            log("reading failed, motor unchanged: %s", e.getMessage());
            return;
        }
        boolean run = mm >= STOP_BELOW_MM;
        String range = mm == Integer.MAX_VALUE ? "none" : String.valueOf(mm);
        try {
            // The motor first: a failing servo must not keep it from stopping.
            int[] inputs = motor.exchange(run ? DRIVE : STOP);
            note += " inputs=" + Arrays.toString(inputs);
        } catch (DlnException e) {
            log("range=%s%s motor command failed, sent again next turn: %s", range, note,
                    e.getMessage());
            return;
        }
        log("range=%s motor=%s%s", range, run ? "run" : "stop", note);
        if (!steeringRefused) {
            try {
                steering.setPulseWidth(steeringFor(mm), 0);
            } catch (BoardInDoubtException e) {
                steeringRefused = true;
                log("steering stopped: %s", e.getMessage());
            } catch (DlnException e) {
                log("steering failed: %s", e.getMessage());
            }
        }
    }

    void sonar(UltrasonicRanger sonar) {
        try {
            log("ultrasonic=%d cm", sonar.rangeCm());
        } catch (DlnException e) {
            log("ultrasonic failed: %s", e.getMessage());
        }
    }

    /**
     * Starts the patrol on two threads of its own: the 100 ms loop and the slower ultrasonic
     * one. Closing the handle stops both, after the turn under way.
     *
     * @param dln the adapter to patrol with
     * @return the running patrol
     */
    public static Running start(Dln dln) {
        Patrol patrol = new Patrol(dln);
        patrol.log("start epochMs=%d", System.currentTimeMillis());
        UltrasonicRanger sonar = dln.ultrasonic(0x70);
        // One thread per rhythm: the slow ultrasonic call never delays the laser loop.
        ScheduledExecutorService loop = Executors.newSingleThreadScheduledExecutor();
        ScheduledExecutorService slow = Executors.newSingleThreadScheduledExecutor();
        loop.scheduleAtFixedRate(patrol::step, 0, 100, TimeUnit.MILLISECONDS);
        slow.scheduleWithFixedDelay(() -> patrol.sonar(sonar), 0, 200, TimeUnit.MILLISECONDS);
        return new Running(patrol, loop, slow);
    }

    /** A patrol started by {@link #start}. */
    public static final class Running implements AutoCloseable {
        private final Patrol patrol;
        private final ScheduledExecutorService loop;
        private final ScheduledExecutorService slow;

        private Running(Patrol patrol, ScheduledExecutorService loop,
                ScheduledExecutorService slow) {
            this.patrol = patrol;
            this.loop = loop;
            this.slow = slow;
        }

        /** Stops both threads, waiting up to 10 s each for the call under way. */
        @Override
        public void close() throws InterruptedException {
            loop.shutdown();
            slow.shutdown();
            loop.awaitTermination(10, TimeUnit.SECONDS);
            slow.awaitTermination(10, TimeUnit.SECONDS);
            patrol.log("done");
        }
    }

    public static void main(String[] args) throws InterruptedException {
        long seconds = args.length > 0 ? Long.parseLong(args[0]) : 10;
        try (Running patrol = start(Dln.create())) {
            Thread.sleep(seconds * 1000);
        }
    }
}
