package examples;

import i2cdln.Dln;
import i2cdln.DlnException;
import i2cdln.NoServerException;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.function.Function;

/**
 * Brings up the robot's buses: the adapter, the I2C scan, one harmless call to each known device
 * found, the EEPROM's identity. Prints one line per device and exits with 0 when every step
 * worked, 1 when a device failed, 2 when no adapter server answers.
 *
 * <p>Usage: {@code java examples.BringUp}
 */
public final class BringUp {
    /** The robot's devices by address, each with a call that shows it answers. */
    static final Map<Integer, Map.Entry<String, Function<Dln, String>>> KNOWN = Map.of(
            0x29, Map.entry("laser ranger", dln -> dln.laser().rangeMm() + " mm"),
            0x30, Map.entry("motor board", dln -> "speed " + dln.motor(0x30).speed(0)),
            0x48, Map.entry("ADC/DAC board",
                    dln -> "inputs " + Arrays.toString(dln.adcDac(0x48).exchange(0))),
            0x50, Map.entry("register device",
                    dln -> "register 0 = " + dln.i2c(0x50).readRegister(0)),
            0x51, Map.entry("servo board", dln -> "current " + dln.servo(0x51).current()),
            0x52, Map.entry("servo board", dln -> "current " + dln.servo(0x52).current()),
            0x70, Map.entry("ultrasonic ranger",
                    dln -> dln.ultrasonic(0x70).rangeCm() + " cm"));

    private BringUp() {}

    public static void main(String[] args) {
        Dln dln = Dln.create();
        int failed = 0;
        try {
            dln.adapter().printDescription();
            List<Integer> found = dln.adapter().scan();
            System.out.println("BRINGUP scan " + found.stream()
                    .map(a -> String.format("0x%02x", a)).toList());
            for (int address : KNOWN.keySet().stream().sorted().toList()) {
                var device = KNOWN.get(address);
                String name = String.format("0x%02x %s", address, device.getKey());
                if (!found.contains(address)) {
                    System.out.println("BRINGUP " + name + ": MISSING from the scan");
                    failed++;
                    continue;
                }
                try {
                    System.out.println("BRINGUP " + name + ": ok, " + device.getValue().apply(dln));
                } catch (NoServerException e) {
                    throw e;
                } catch (DlnException e) {
                    System.out.println("BRINGUP " + name + ": FAILED, " + e.getMessage());
                    failed++;
                }
            }
            try {
                int[] id = dln.eeprom(0).identify();
                System.out.printf("BRINGUP EEPROM on SPI line 0: ok, id %02x %02x %02x%n", id[0],
                        id[1], id[2]);
            } catch (NoServerException e) {
                throw e;
            } catch (DlnException e) {
                System.out.println("BRINGUP EEPROM on SPI line 0: FAILED, " + e.getMessage());
                failed++;
            }
        } catch (NoServerException e) {
            System.out.println("BRINGUP no adapter server: " + e.getMessage());
            System.out.flush();
            System.exit(2);
        }
        System.out.println(failed == 0 ? "BRINGUP all devices answered"
                                       : "BRINGUP " + failed + " devices failed");
        System.out.flush();
        System.exit(failed == 0 ? 0 : 1);
    }
}
