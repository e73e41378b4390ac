import java.net.URI;
import java.net.http.HttpClient;
import java.net.http.HttpRequest;
import java.net.http.HttpResponse;
import java.util.Arrays;

/**
 * The Java side of the live page's browser check: sets a servo to 1500 us and the DAC to 128
 * through the native methods, ranges the laser, then moves the wall through the page's API and
 * checks that the next range follows it. Usage: java LivePageRun PAGE_URL. Exits 1 on a failed
 * check, naming it.
 */
public final class LivePageRun {
    private static final int SERVO_A = 0x51;
    private static final int ADC_DAC = 0x48;
    private static final int LASER = 0x29;

    private LivePageRun() {}

    private static int[] slots(int... values) {
        return Arrays.copyOf(values, 255);
    }

    private static void check(boolean ok, String what) {
        System.out.println((ok ? "ok    " : "FAILED ") + what);
        if (!ok) {
            System.exit(1);
        }
    }

    private static int range() {
        int[] measure = slots(LASER, 2);
        I2C_DLN.I2C_LaserMeasurement(measure);
        return measure[2] * 256 + measure[3];
    }

    private static void moveWall(HttpClient http, String page, int mm) throws Exception {
        HttpRequest request = HttpRequest.newBuilder(URI.create(page + "api/world"))
                .header("Content-Type", "application/json")
                .POST(HttpRequest.BodyPublishers.ofString(
                        "{\"i2c\": \"0x29\", \"set\": {\"distanceMm\": " + mm + "}}"))
                .build();
        HttpResponse<String> response = http.send(request, HttpResponse.BodyHandlers.ofString());
        check(response.statusCode() == 200, "wall moved to " + mm + " mm: " + response.body());
    }

    public static void main(String[] args) throws Exception {
        String page = args[0];
        int[] pwm = slots(SERVO_A, 0, 0x05, 0xDC, 0, 0, 1, 1);
        I2C_DLN.dualServo_1500_PWM(pwm);
        check(pwm[8] == 0xDC && pwm[9] == 0xDC, "servo 0x51 set to 1500 us");
        int[] adc = slots(ADC_DAC, 128, -1, -1, -1, -1);
        I2C_DLN.adcsdac(adc);
        check(adc[5] == 128, "DAC output 128 read back on input 4");

        I2C_DLN.I2C_LaserMeasurement(slots(LASER, 0));
        I2C_DLN.I2C_LaserMeasurement(slots(LASER, 1));
        HttpClient http = HttpClient.newHttpClient();
        for (int wall : new int[] {600, 250}) {
            moveWall(http, page, wall);
            int mm = range();
            check(Math.abs(mm - wall) <= 30, "range " + mm + " mm with the wall at " + wall + " mm");
        }
    }
}
