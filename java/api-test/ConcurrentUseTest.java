import static org.junit.jupiter.api.Assertions.assertEquals;

import i2cdln.AdcDacBoard;
import i2cdln.Dln;
import i2cdln.I2cDevice;
import i2cdln.LaserRanger;
import i2cdln.SpiDevice;
import i2cdln.SpiEeprom;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;

/**
 * One set of objects shared by several threads against the default robot: two threads range
 * with the laser (its process-wide state must be serialised), one writes and reads back
 * registers, one steps the DAC whose output the robot wires to input 4, and two use the SPI
 * bus on different lines (the loopback on line 1, the EEPROM's identification on line 0), so
 * a transfer that reached the other line shows.
 */
public class ConcurrentUseTest {
    /** In the child: each thread counts its wrong results; every call must succeed. */
    public static void child() throws Exception {
        Dln dln = Dln.create();
        LaserRanger laser = dln.laser();
        // The results are under test here, not the deadline: a loaded machine may be slower.
        laser.setDeadline(java.time.Duration.ofSeconds(60));
        I2cDevice registers = dln.i2c(0x50);
        AdcDacBoard adc = dln.adcDac(0x48);
        SpiDevice loopback = dln.spi(1, 0, 1_000_000);
        SpiEeprom eeprom = dln.eeprom(0);
        AtomicInteger wrong = new AtomicInteger();
        AtomicInteger recoveries = new AtomicInteger();
        List<Runnable> work = List.of(() -> {
            LaserRanger.Reading reading = laser.range();
            // The wall of the default robot moves between 300 and 800 mm.
            if (reading.millimetres() < 290 || reading.millimetres() > 810) {
                wrong.incrementAndGet();
            }
            recoveries.addAndGet(reading.failedMeasurements() + reading.recoveries());
        }, () -> {
            int value = (int) (System.nanoTime() & 0xFF);
            registers.writeRegisters(0x20, value, 255 - value);
            int[] back = registers.readRegisters(0x20, 2);
            if (back[0] != value || back[1] != 255 - value) {
                wrong.incrementAndGet();
            }
        }, () -> {
            int output = (int) (System.nanoTime() & 0xFF);
            if (adc.exchange(output)[3] != output) {
                wrong.incrementAndGet();
            }
        }, () -> {
            for (int i = 0; i < 10; i++) { // transfers are quick: more of them meet the other line's
                int value = (int) (System.nanoTime() & 0xFF);
                if (!Arrays.equals(loopback.transfer(value, 255 - value), new int[] {value,
                        255 - value})) {
                    wrong.incrementAndGet();
                }
            }
        }, () -> {
            for (int i = 0; i < 10; i++) {
                if (!Arrays.equals(eeprom.identify(), new int[] {0x20, 0x20, 0x10})) {
                    wrong.incrementAndGet();
                }
            }
        });
        ExecutorService pool = Executors.newFixedThreadPool(6);
        List<Future<?>> done = new ArrayList<>();
        for (Runnable task : List.of(work.get(0), work.get(0), work.get(1), work.get(2),
                work.get(3), work.get(4))) {
            done.add(pool.submit(() -> {
                for (int i = 0; i < 15; i++) {
                    task.run();
                }
            }));
        }
        for (Future<?> future : done) {
            future.get();
        }
        pool.shutdown();
        NativeRun.report("wrong", wrong.get());
        NativeRun.report("laserFailures", recoveries.get());
    }

    @Test
    void sharedObjectsGiveRightResultsFromSixThreads() throws Exception {
        NativeRun run;
        try (SimServer sim = SimServer.start()) {
            run = NativeRun.run("ConcurrentUseTest#child");
        }
        assertEquals(0, run.exitCode, run.stderr);
        assertEquals(List.of("0"), run.reported("wrong"));
        assertEquals(List.of("0"), run.reported("laserFailures"));
    }
}
