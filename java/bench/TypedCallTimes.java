import i2cdln.Dln;
import i2cdln.ServoPulse;
import i2cdln.SpiEeprom;
import java.util.Arrays;
import java.util.List;

/**
 * Times each row of the README's table of typed calls once per call against a running dln-sim
 * (the default robot) and prints "row<TAB>median ms" lines: the median of a few calls, after
 * one to warm up. Run it once on loopback and once against {@code dln-sim --latency robot}
 * for the table's two measured columns. Usage: java TypedCallTimes [REPS] (default 5).
 */
public final class TypedCallTimes {
    private TypedCallTimes() {}

    /** One row of the table: a typed call; slow ones take seconds and run once, unwarmed. */
    record Row(String name, Runnable call, boolean slow) {
        Row(String name, Runnable call) {
            this(name, call, false);
        }
    }

    /** The rows in the table's order; written against the public API alone, so that an older
     * build of it runs them too. */
    static List<Row> rows(Dln dln) {
        return List.of(
                new Row("Adapter.printDescription", () -> dln.adapter().printDescription()),
                new Row("Adapter.scan", () -> dln.adapter().scan()),
                new Row("I2cDevice.read", () -> dln.i2c(0x50).read(8)),
                new Row("I2cDevice.write", () -> dln.i2c(0x50).write(0x10, 0x20)),
                new Row("SpiDevice.transfer", () -> dln.spi(1, 0, 1_000_000).transfer(1, 2, 3, 4)),
                new Row("SpiEeprom.identify", () -> dln.eeprom(0).identify()),
                new Row("ServoBoard.setPulseWidth", () -> dln.servo(0x51).setPulseWidth(1500, 0)),
                new Row("ServoPair.setPulseWidths",
                        () -> dln.servos(0x51, 0x52).setPulseWidths(1500, 1500, 0, 0)),
                new Row("Dln.servoSequence (2 boards)", () -> dln.servoSequence(0,
                        List.of(new ServoPulse(0x51, 1500), new ServoPulse(0x52, 1500)))),
                new Row("ServoBoard.current", () -> dln.servo(0x51).current()),
                new Row("ServoPair.currents", () -> dln.servos(0x51, 0x52).currents()),
                new Row("AdcDacBoard.exchange", () -> dln.adcDac(0x48).exchange(100)),
                new Row("UltrasonicRanger.rangeCm", () -> dln.ultrasonic(0x70).rangeCm()),
                new Row("MotorBoard.speed", () -> dln.motor(0x30).speed(0)),
                new Row("LaserRanger.connect", () -> dln.laser().connect()),
                new Row("LaserRanger.calibrate", () -> dln.laser().calibrate()),
                new Row("LaserRanger.range", () -> dln.laser().range()),
                // Seconds each under the robot's latency: one call, no warm-up.
                new Row("SpiEeprom.erase", () -> dln.eeprom(0).erase(SpiEeprom.Progress.none()),
                        true),
                new Row("SpiEeprom.program (64 KiB)",
                        () -> dln.eeprom(0).program(new byte[65536], SpiEeprom.Progress.none()),
                        true));
    }

    public static void main(String[] args) {
        int reps = args.length > 0 ? Integer.parseInt(args[0]) : 5;
        for (Row row : rows(Dln.create())) {
            if (!row.slow) {
                row.call.run(); // warm-up; the laser rows also connect and calibrate in order
            }
            int n = row.slow ? 1 : reps;
            double[] ms = new double[n];
            for (int i = 0; i < n; i++) {
                long start = System.nanoTime();
                row.call.run();
                ms[i] = (System.nanoTime() - start) / 1e6;
            }
            Arrays.sort(ms);
            System.err.printf("%s\t%.1f%n", row.name, ms[n / 2]);
        }
    }
}
