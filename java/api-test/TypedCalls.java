import i2cdln.Dln;
import i2cdln.ServoPulse;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.function.Supplier;

/**
 * The typed calls the failure tests run in a child JVM, by name. The child reports each as
 * "NAME=ok:VALUE" or "NAME=ExceptionType(0xCODE):message" (without the code when no native call
 * failed), so one table of calls serves every scenario.
 */
public final class TypedCalls {
    static final Dln DLN = Dln.create();
    static final Map<String, Supplier<Object>> CALLS = new LinkedHashMap<>();

    static {
        // The outcomes, not the deadline, are under test here: a loaded machine may take longer.
        DLN.laser().setDeadline(java.time.Duration.ofSeconds(60));
        CALLS.put("scan", () -> DLN.adapter().scan());
        CALLS.put("describe", () -> DLN.adapter().description().lines().count());
        CALLS.put("write50", () -> {
            DLN.i2c(0x50).writeRegisters(0x10, 0xCA, 0xFE);
            return "";
        });
        CALLS.put("read50", () -> Arrays.toString(DLN.i2c(0x50).readRegisters(0x10, 2)));
        CALLS.put("read11", () -> Arrays.toString(DLN.i2c(0x11).read(1)));
        CALLS.put("write11", () -> {
            DLN.i2c(0x11).write(0);
            return "";
        });
        CALLS.put("servo51", () -> {
            DLN.servo(0x51).setPulseWidth(1500, 0);
            return "";
        });
        // An absent board leaves itself in doubt (it may have taken part of the command); the
        // table goes on as if the program had reset the boards.
        CALLS.put("servo13", () -> {
            try {
                DLN.servo(0x13).setPulseWidth(1500, 0);
            } finally {
                DLN.servo(0x13).acknowledgeFailure();
            }
            return "";
        });
        CALLS.put("pair", () -> {
            DLN.servos(0x51, 0x52).setPulseWidths(1200, 1800, 0, 0);
            return "";
        });
        CALLS.put("pair13", () -> {
            try {
                DLN.servos(0x51, 0x13).setPulseWidths(1200, 1800, 0, 0);
            } finally {
                DLN.servos(0x51, 0x13).acknowledgeFailure();
            }
            return "";
        });
        CALLS.put("currents", () -> Arrays.toString(DLN.servos(0x51, 0x52).currents()));
        CALLS.put("currents13", () -> Arrays.toString(DLN.servos(0x51, 0x13).currents()));
        CALLS.put("adc48", () -> Arrays.toString(DLN.adcDac(0x48).exchange(0x21)));
        CALLS.put("adc14", () -> Arrays.toString(DLN.adcDac(0x14).exchange(0)));
        CALLS.put("sonic70", () -> DLN.ultrasonic(0x70).rangeCm());
        CALLS.put("sonic15", () -> DLN.ultrasonic(0x15).rangeCm());
        CALLS.put("motor30", () -> DLN.motor(0x30).speed(0));
        CALLS.put("motor16", () -> DLN.motor(0x16).speed(0));
        CALLS.put("spi1", () -> Arrays.toString(DLN.spi(1, 3, 1_000_000).transfer(0x55, 0xAA, 7)));
        CALLS.put("eeprom0", () -> Arrays.toString(DLN.eeprom(0).identify()));
        CALLS.put("eeprom2", () -> Arrays.toString(DLN.eeprom(2).identify()));
        CALLS.put("laser", () -> DLN.laser().rangeMm() > 0);
    }

    private TypedCalls() {}

    /** In the child: runs the named calls in order and reports each outcome. */
    static void run(List<String> names) {
        for (String name : names) {
            String outcome;
            try {
                outcome = "ok:" + CALLS.get(name).get();
            } catch (RuntimeException e) {
                outcome = FaultSafetyTest.failed(e);
            }
            NativeRun.report(name, outcome);
        }
    }

    /** Bad arguments, each refused before any native call. */
    static final List<Runnable> BAD_ARGUMENTS = List.of(
            () -> DLN.i2c(0), () -> DLN.i2c(128), () -> DLN.i2c(0x50).read(0),
            () -> DLN.i2c(0x50).read(257), () -> DLN.i2c(0x50).write(),
            () -> DLN.i2c(0x50).write(256), () -> DLN.i2c(0x50).write(new int[257]),
            () -> DLN.i2c(0x50).writeRegisters(256, 1), () -> DLN.i2c(0x50).readRegisters(-1, 1),
            () -> DLN.spi(4, 0, 1000), () -> DLN.spi(0, 4, 1000), () -> DLN.spi(0, 0, 0),
            () -> DLN.spi(1, 0, 1000).transfer(), () -> DLN.spi(1, 0, 1000).transfer(new int[257]),
            () -> DLN.spi(1, 0, 1000).transfer(-1), () -> DLN.eeprom(-1),
            () -> DLN.eeprom(0).program(new byte[0], null),
            () -> DLN.eeprom(0).program(new byte[65537], null),
            () -> DLN.servo(0x51).setPulseWidth(65536, 0),
            () -> DLN.servo(0x51).setPulseWidth(1500, 256),
            () -> DLN.servos(0x51, 0).setPulseWidths(1500, 1500, 0, 0),
            () -> DLN.servos(0x51, 0x52).setPulseWidths(1500, -1, 0, 0),
            () -> DLN.servoSequence(0, List.of()),
            () -> DLN.servoSequence(0, java.util.Collections.nCopies(64, new ServoPulse(0x51, 1500))),
            () -> DLN.servoSequence(0, List.of(new ServoPulse(0x51, 70000))),
            () -> DLN.adcDac(0x48).exchange(256), () -> DLN.motor(0x30).speed(-1));
}
